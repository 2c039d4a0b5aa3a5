// SPDX-License-Identifier: MIT
#include "ui/windows/AboutView.h"

#include "ui/common/PageParts.h"
#include "ui/common/Shell.h"
#include "ui/common/Spinner.h"
#include "ui/common/Symbols.h"
#include "ui/common/WindowKeys.h"
#include "ui/sheets/NoticesSheet.h"
#include "ui/windows/AboutTexts.h"

#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace kelvane::ui {

using namespace about;
using namespace page;
using operations::AboutFigure;

namespace {

QLabel* styledText(const QString& text, FontRole role, const QColor& color = {})
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font(role));
    if (color.isValid())
        label->setStyleSheet(colorCss(color));
    return label;
}

// A page of the About window: the standard frame inside a vertical scroll area.
std::pair<QScrollArea*, QVBoxLayout*> textPage(int spacing = 18)
{
    auto* page = new QWidget;
    QVBoxLayout* layout = pageLayout(page, spacing);
    return {scrollPage(page), layout};
}

QString orQuestionMark(const std::optional<std::string>& value)
{
    return value ? QString::fromStdString(*value) : QStringLiteral("?");
}

// The rows of the statistics tab, section by section.
struct StatisticsRow {
    AboutFigure figure;
    const char* label;
    bool selectable = false;
};
struct StatisticsSection {
    const char* title;
    std::vector<StatisticsRow> rows;
};

const std::vector<StatisticsSection>& statisticsSections()
{
    static const std::vector<StatisticsSection> sections = {
        {"レジストリ", {{AboutFigure::registeredCount, "登録項目数"}}},
        {"圧縮履歴", {{AboutFigure::logCount, "ログ件数"}, {AboutFigure::bytesSaved, "累計削減量"}}},
        {"アプリ",
         {{AboutFigure::version, "バージョン"},
          {AboutFigure::bundleIdentifier, "Bundle ID", true},
          {AboutFigure::appSize, "アプリ占有サイズ"},
          {AboutFigure::databaseSize, "データベース"}}},
        {"ランタイム",
         {{AboutFigure::residentMemory, "消費メモリ（RSS）"},
          {AboutFigure::launchCount, "起動回数"},
          {AboutFigure::firstLaunch, "初回起動"},
          {AboutFigure::previousLaunch, "前回起動"},
          {AboutFigure::uptime, "プロセス稼働時間"}}},
        {"環境",
         {{AboutFigure::operatingSystem, "OS"},
          {AboutFigure::architecture, "アーキテクチャ"},
          {AboutFigure::locale, "ロケール"},
          {AboutFigure::timeZone, "タイムゾーン"},
          {AboutFigure::home, "ホーム", true},
          {AboutFigure::applicationSupport, "データフォルダ", true}}},
    };
    return sections;
}

// The spans the log export offers, in the picker's order.
const std::pair<AboutView::LogExportRange, const char*> kExportRanges[] = {
    {AboutView::LogExportRange::lastHour, "過去 1 時間"},
    {AboutView::LogExportRange::lastDay, "過去 24 時間"},
    {AboutView::LogExportRange::lastWeek, "過去 7 日間"},
};

}  // namespace

AboutView::AboutView(std::shared_ptr<store::ModelContainer> container, Shell& shell, AboutEnvironment environment,
                     QWidget* parent)
    : QDialog(parent),
      shell_(shell),
      environment_(std::move(environment)),
      figures_(new operations::AboutFiguresModel(
          std::move(container),
          {environment_.shortVersion, environment_.buildNumber, environment_.bundleIdentifier,
           [files = environment_.programFiles] { return operations::AboutDiagnostics::collect(files); }},
          this)),
      logExport_(new operations::LogExportModel(environment_.exportLogs, this))
{
    QVBoxLayout* layout = sheetLayout(this, QStringLiteral("Kelvane について"), {560, 480}, {720, 620}, {}, 0);
    tabs_ = new QTabWidget;
    tabs_->setDocumentMode(true);
    tabs_->addTab(overviewTab(), symbolIcon(QStringLiteral("app.badge")), QStringLiteral("概要"));
    tabs_->addTab(explainerTab(), symbolIcon(QStringLiteral("rectangle.compress.vertical")),
                  QStringLiteral("透過圧縮について"));
    tabs_->addTab(usageTab(), symbolIcon(QStringLiteral("questionmark.circle")), QStringLiteral("使い方"));
    tabs_->addTab(statisticsTab(), symbolIcon(QStringLiteral("chart.bar")), QStringLiteral("統計"));
    tabs_->addTab(creditsTab(), symbolIcon(QStringLiteral("info.circle")), QStringLiteral("クレジット"));
    layout->addWidget(tabs_, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(12, 8, 12, 12);
    bottom->addStretch();
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);  // Esc does the same
    bottom->addWidget(close);
    layout->addLayout(bottom);

    // The statistics are measured the first time their tab is shown.
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 3)
            figures_->measureOnce();
    });
    // A save redraws the counts alone: the uptime is drawn with the snapshot, it does not tick.
    connect(figures_, &operations::AboutFiguresModel::countsChanged, this, [this] {
        for (const auto figure : {AboutFigure::registeredCount, AboutFigure::logCount, AboutFigure::bytesSaved})
            showFigure(figure);
    });
    connect(figures_, &operations::AboutFiguresModel::diagnosticsChanged, this, [this] {
        showFigures();
        emit diagnosticsChanged();
    });
    connect(logExport_, &operations::LogExportModel::finished, this, [this] {
        showExporting(false);
        emit exportFinished();
    });
    showFigures();
}

AboutView::~AboutView() = default;

QPushButton* AboutView::link(const QString& text, const QUrl& url)
{
    if (!url.isValid() || url.scheme().isEmpty())
        return nullptr;
    auto* button = new QPushButton(text);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: %1; text-decoration: underline; border: none; "
                                         "text-align: left; padding: 0; }")
                              .arg(tintColor().name()));
    button->setToolTip(url.toString());
    connect(button, &QPushButton::clicked, this, [this, url] { shell_.openUrl(url); });
    return button;
}

// ---------------------------------------------------------------- overview

QLayout* AboutView::overviewHeader()
{
    auto* header = new QHBoxLayout;
    header->setSpacing(18);
    auto* icon = new QLabel;
    // The program's symbol, two arrows pressing a bar, in the tint colour.
    icon->setPixmap(symbolPixmap(u"rectangle.compress.vertical", tintColor(), 64, 2.0));
    icon->setFixedSize(64, 64);
    header->addWidget(icon, 0, Qt::AlignVCenter);
    auto* names = new QVBoxLayout;
    names->setSpacing(6);
    names->addWidget(styledText(QStringLiteral("Kelvane"), FontRole::largeTitle));
    auto* version = styledText(QStringLiteral("v") + orQuestionMark(environment_.shortVersion) + QStringLiteral(" (build ")
                                   + orQuestionMark(environment_.buildNumber) + QStringLiteral(")"),
                               FontRole::subheadline, secondaryColor());
    version->setObjectName(QStringLiteral("versionLine"));
    names->addWidget(version);
    names->addWidget(styledText(QStringLiteral("透過圧縮で SSD を空ける"), FontRole::callout, secondaryColor()));
    header->addLayout(names, 1);
    return header;
}

QWidget* AboutView::overviewTab()
{
    auto [area, page] = textPage();
    page->addLayout(overviewHeader());
    page->addWidget(divider());

    page->addWidget(sectionHeader(QStringLiteral("Kelvane でできること"), QStringLiteral("lightbulb.fill")));
    page->addWidget(paragraph(QStringLiteral("**SSD 容量を、ファイルを動かさずに空けられます**。")));
    page->addWidget(paragraph(QStringLiteral("zip にしたり別ディスクに移したりせず、ファイルはそのままの場所・そのままの名前で"
                                             "残しておけます。それでもディスクが実際に使っているサイズだけを縮められます。")));
    page->addWidget(paragraph(QStringLiteral("仕組みは macOS が標準で持っている「透過圧縮」を活用します（Apple 自身も macOS "
                                             "自体に使っている技術です）。詳しくは「透過圧縮について」タブをご覧ください。"),
                              TextStyle::secondary));
    page->addWidget(paragraph(linuxReadingNote()));
    page->addWidget(sectionHeader(QStringLiteral("こんな悩みに"), QStringLiteral("internaldrive.badge.checkmark")));
    page->addWidget(paragraph(QStringLiteral("「**SSD の空きが足りない**」「**でもファイルは消したくないし、外付けにも移したくない**」"
                                             "というとき、Kelvane の出番です。")));
    page->addWidget(paragraph(QStringLiteral("特に効果が出やすい例:\n\n"
                                             "・Go のビルドキャッシュやビルド成果物\n"
                                             "・Android エミュレータ / Android SDK\n"
                                             "・GitHub から clone してきた大きなリポジトリ\n"
                                             "・古いログファイル / テキストデータ\n"
                                             "・デバッグ情報や Rust ツールチェーン")));
    page->addWidget(sectionHeader(QStringLiteral("こんな人向け"), QStringLiteral("person.fill")));
    page->addWidget(paragraph(QStringLiteral("・SSD 容量を気にしている方\n"
                                             "・ソフトウェア開発者やデータ分析家のように、大きなファイル群を抱える方\n"
                                             "・「ファイルは残したいけど容量だけなんとかしたい」方")));
    page->addStretch();
    return area;
}

// ---------------------------------------------------------------- explainer

QWidget* AboutView::explainerTab()
{
    auto [area, page] = textPage();
    for (const ExplainerBlock& block : explainerBlocks()) {
        switch (block.kind) {
        case ExplainerBlock::section: page->addWidget(sectionHeader(block.text, block.symbol)); break;
        case ExplainerBlock::subsection: page->addWidget(subsectionHeader(block.text, block.symbol)); break;
        case ExplainerBlock::paragraph: page->addWidget(paragraph(block.text, block.style)); break;
        case ExplainerBlock::divider: page->addWidget(divider()); break;
        }
    }
    page->addStretch();
    return area;
}

// ---------------------------------------------------------------- usage guide

QWidget* AboutView::usageTab()
{
    auto [area, page] = textPage();
    page->addWidget(sectionHeader(QStringLiteral("典型的な使い方"), QStringLiteral("questionmark.circle")));
    page->addWidget(paragraph(QStringLiteral("ツールバー上部のボタンから操作します。最初は「ウィザード」がおすすめです。"),
                              TextStyle::secondary));
    for (const UsageStep& step : usageSteps()) {
        auto [row, rowLayout] = namedBox(QStringLiteral("usageStep"), QBoxLayout::LeftToRight, {}, 14);
        auto* number = styledText(QString::number(step.number), FontRole::title, tintColor());
        number->setFixedWidth(28);
        number->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        rowLayout->addWidget(number, 0, Qt::AlignTop);
        auto* column = new QVBoxLayout;
        column->setSpacing(6);
        auto* title = styledText(step.title, FontRole::headline);
        title->setObjectName(QStringLiteral("title"));
        auto* titleRow = new QHBoxLayout;
        titleRow->setSpacing(8);
        QLabel* image = ui::symbolLabel(step.symbol, tintColor(), 18);
        image->setObjectName(QStringLiteral("symbol"));
        titleRow->addWidget(image);
        titleRow->addWidget(title, 1);
        column->addLayout(titleRow);
        column->addWidget(paragraph(step.body, TextStyle::secondary));
        rowLayout->addLayout(column, 1);
        page->addWidget(row);
    }
    page->addStretch();
    return area;
}

// ---------------------------------------------------------------- statistics

QLayout* AboutView::statisticsTitleRow()
{
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(sectionHeader(QStringLiteral("利用統計 / 内部情報"), QStringLiteral("chart.bar.fill")), 1);
    auto* remeasure = new QPushButton(symbolIcon(QStringLiteral("arrow.clockwise")), QStringLiteral("更新"));
    remeasure->setObjectName(QStringLiteral("remeasure"));
    remeasure->setToolTip(QStringLiteral("メモリ使用量 / アプリサイズ等を再計測"));
    remeasure->setAutoDefault(false);
    connect(remeasure, &QPushButton::clicked, this, &AboutView::refreshDiagnostics);
    titleRow->addWidget(remeasure, 0, Qt::AlignVCenter);
    return titleRow;
}

void AboutView::addStatisticsSections(QVBoxLayout* page)
{
    for (const StatisticsSection& section : statisticsSections()) {
        auto [box, form] = formSection(QString::fromUtf8(section.title));
        for (const StatisticsRow& row : section.rows) {
            QLabel* value = form->addTextRow(QString::fromUtf8(row.label), {},
                                             operations::AboutFiguresModel::name(row.figure), row.selectable);
            value->setWordWrap(true);
            statistics_.emplace(row.figure, value);
        }
        page->addWidget(box);
    }
    auto [links, form] = formSection(QStringLiteral("リンク"));
    if (QPushButton* supportLink = link(QStringLiteral("サポート / 不具合報告"), environment_.supportPage))
        form->addWideRow(supportLink);
    page->addWidget(links);
}

QWidget* AboutView::logExportSection()
{
    auto [section, form] = formSection(QStringLiteral("ログ書き出し"));
    rangePicker_ = new QComboBox;
    for (const auto& [range, text] : kExportRanges)
        rangePicker_->addItem(QString::fromUtf8(text), static_cast<int>(range));
    rangePicker_->setCurrentIndex(rangePicker_->findData(static_cast<int>(logExport_->range())));
    connect(rangePicker_, &QComboBox::currentIndexChanged, this, [this](int index) {
        logExport_->setRange(static_cast<LogExportRange>(rangePicker_->itemData(index).toInt()));
    });
    form->addRow(QStringLiteral("範囲"), rangePicker_, QStringLiteral("exportRange"));
    auto [exportRow, exportLayout] = namedBox(QStringLiteral("exportRow"), QBoxLayout::LeftToRight, {}, 6);
    exportButton_ = new QPushButton;
    exportButton_->setObjectName(QStringLiteral("exportLogs"));
    exportButton_->setAutoDefault(false);
    exportButton_->setToolTip(QStringLiteral("バグ報告用に Kelvane のログの該当範囲をテキストファイルに保存します"));
    connect(exportButton_, &QPushButton::clicked, this, &AboutView::exportLogFile);
    // While exporting, the button shows only a spinner, at its own size.
    exportSpinner_ = new Spinner(exportButton_);
    exportLayout->addWidget(exportButton_);
    exportLayout->addStretch();
    form->addWideRow(exportRow);
    exportErrorLabel_ = styledText({}, FontRole::caption, QColor(0xd7, 0x37, 0x2f));
    exportErrorLabel_->setObjectName(QStringLiteral("exportError"));
    form->addWideRow(exportErrorLabel_);
    showExporting(false);
    return section;
}

QWidget* AboutView::statisticsTab()
{
    auto [area, page] = textPage(16);
    page->addLayout(statisticsTitleRow());
    addStatisticsSections(page);
    page->addWidget(logExportSection());
    page->addStretch();
    return area;
}

void AboutView::showFigures()
{
    for (const auto& [figure, label] : statistics_)
        showFigure(figure);
}

void AboutView::showFigure(AboutFigure figure)
{
    QLabel* label = statistics_.at(figure);
    label->setText(figures_->text(figure));
    label->setToolTip(figures_->toolTip(figure));
    if (auto* form = dynamic_cast<FormGroup*>(label->parentWidget()))
        form->setRowVisible(label, figures_->isShown(figure));
}

void AboutView::refreshDiagnostics()
{
    figures_->refreshDiagnostics();
}

QString AboutView::statisticsValue(AboutFigure figure) const
{
    const auto row = statistics_.find(figure);
    return row != statistics_.end() ? row->second->text() : QString();
}

QString AboutView::statisticsToolTip(AboutFigure figure) const
{
    const auto row = statistics_.find(figure);
    return row != statistics_.end() ? row->second->toolTip() : QString();
}

// ---------------------------------------------------------------- log export

void AboutView::setExportRange(LogExportRange range)
{
    rangePicker_->setCurrentIndex(rangePicker_->findData(static_cast<int>(range)));
}

void AboutView::exportLogFile()
{
    if (logExport_->isExporting())
        return;
    showExporting(true);
    QPointer<AboutView> self(this);
    logExport_->start([self](std::string text) {
        if (!self)
            return;
        const QString name = self->environment_.exportFileName(QDateTime::currentDateTime());
        self->shell_.pickSaveFile(self, QStringLiteral("ログを書き出し"), QDir::homePath().toStdString(), name,
                                  [self, text = std::move(text)](std::filesystem::path destination) {
                                      if (self)
                                          self->logExport_->save(text, destination);
                                  });
    });
}

void AboutView::showErrorRow(bool shown)
{
    if (auto* form = dynamic_cast<FormGroup*>(exportErrorLabel_->parentWidget()))
        form->setRowVisible(exportErrorLabel_, shown);
}

void AboutView::showExporting(bool exporting)
{
    exportButton_->setEnabled(!exporting);
    exportSpinner_->setVisible(exporting);
    if (exporting) {
        showErrorRow(false);
        exportButton_->setFixedSize(exportButton_->size());
        exportButton_->setText(QString());
        exportButton_->setIcon(QIcon());
        exportSpinner_->move((exportButton_->width() - exportSpinner_->width()) / 2,
                             (exportButton_->height() - exportSpinner_->height()) / 2);
        return;
    }
    const std::optional<QString>& error = logExport_->error();
    exportErrorLabel_->setText(error.value_or(QString()));
    showErrorRow(error.has_value());
    exportButton_->setMinimumSize(0, 0);
    exportButton_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    exportButton_->setText(QStringLiteral("ログを書き出し…"));
    exportButton_->setIcon(symbolIcon(QStringLiteral("square.and.arrow.up")));
}

// ---------------------------------------------------------------- credits

QWidget* AboutView::creditEntry(const QString& name, const QString& description, const QString& licence,
                                const QUrl& url)
{
    auto [box, column] = namedBox(QStringLiteral("creditEntry"), QBoxLayout::TopToBottom, {4, 0, 0, 0}, 4);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    QWidget* title = link(name, url);
    if (title)
        title->setFont(page::font(FontRole::headline));
    else
        title = styledText(name, FontRole::headline);
    row->addWidget(title);
    row->addWidget(badge(licence));
    row->addStretch();
    column->addLayout(row);
    column->addWidget(styledText(description, FontRole::callout, secondaryColor()));
    if (url.isValid() && !url.scheme().isEmpty()) {
        auto* address = styledText(url.toString(), FontRole::caption, tertiaryColor());
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(address->font().pointSizeF());
        address->setFont(mono);
        address->setWordWrap(false);
        address->setTextInteractionFlags(Qt::TextSelectableByMouse);
        column->addWidget(address);
    }
    return box;
}

QWidget* AboutView::creditsTab()
{
    auto [area, page] = textPage();

    page->addWidget(sectionHeader(QStringLiteral("開発"), QStringLiteral("person.fill")));
    auto* maker = new QVBoxLayout;
    maker->setSpacing(6);
    maker->addWidget(styledText(QStringLiteral("Wrenholt"), FontRole::title3));
    if (QPushButton* web = link(QStringLiteral("Web サイト"), environment_.webSite))
        maker->addWidget(web, 0, Qt::AlignLeft);
    maker->addWidget(styledText(QStringLiteral("© 2026 Wrenholt. All rights reserved."), FontRole::caption,
                                secondaryColor()));
    page->addLayout(maker);

    page->addWidget(sectionHeader(QStringLiteral("参考にしたソフトウェア"), QStringLiteral("books.vertical.fill")));
    page->addWidget(paragraph(QStringLiteral("macOS の decmpfs を扱う公開ソフトウェア。Kelvane の実装はこれらと独立に書かれていますが、"
                                             "同分野の先行プロジェクトとして敬意を表してリンクします。"),
                              TextStyle::secondary));
    // Earlier work in the field is credited by what it is, not by name or
    // address: Kelvane names no other implementation of what it does.
    page->addWidget(creditEntry(QStringLiteral("decmpfs CLI ツール"), QStringLiteral("decmpfs を扱う Mac 向け CLI ツール。"),
          QStringLiteral("GPL-3.0 / BSL-1.0"), QUrl()));
    page->addWidget(creditEntry(QStringLiteral("別言語による実装"), QStringLiteral("macOS の透過圧縮を扱う、別のプログラミング言語で書かれた実装。"),
          QStringLiteral("GPL-3.0"), QUrl()));
    page->addWidget(creditEntry(QStringLiteral("OS カーネル"), QStringLiteral("Apple のオペレーティングシステムカーネル。decmpfs の実装が含まれる。"),
          QStringLiteral("Apple Public Source License 2.0"), QUrl()));

    page->addWidget(sectionHeader(QStringLiteral("利用ライブラリ"), QStringLiteral("shippingbox.fill")));
    page->addWidget(paragraph(QStringLiteral("Kelvane は次のオープンソースのライブラリを利用しています"
                                             "（画面は Qt、保存は SQLite、ハッシュは OpenSSL、zlib 形式の読み出しは zlib、"
                                             "アクセス制御リストは libacl、文字の正規化は ICU、識別子は libuuid、マウント表は libmount）。"
                                             "圧縮と展開は Kelvane 自身の実装です。"),
                              TextStyle::secondary));
    auto* notices = new QPushButton(symbolIcon(QStringLiteral("doc.text")), QStringLiteral("ライセンス情報を表示…"));
    notices->setObjectName(QStringLiteral("showNotices"));
    notices->setAutoDefault(false);
    notices->setToolTip(QStringLiteral("参照したソフトウェアのライセンスと帰属を記載した NOTICES.txt を表示します"));
    connect(notices, &QPushButton::clicked, this, &AboutView::showNotices);
    page->addWidget(notices, 0, Qt::AlignLeft);

    page->addWidget(sectionHeader(QStringLiteral("フィードバック"), QStringLiteral("envelope.fill")));
    page->addWidget(paragraph(QStringLiteral("バグ報告 / 機能要望はお気軽にどうぞ。セキュリティに関する報告は非公開チャネルでお願いします。"),
                              TextStyle::secondary));
    if (QPushButton* supportLink = link(QStringLiteral("サポート"), environment_.supportPage))
        page->addWidget(supportLink, 0, Qt::AlignLeft);
    page->addStretch();
    return area;
}

NoticesSheet* AboutView::noticesSheet() const
{
    return notices_.data();
}

void AboutView::showNotices()
{
    if (notices_)
        return;
    const QString file = environment_.noticesFile.isEmpty() ? NoticesSheet::defaultFile() : environment_.noticesFile;
    notices_ = new NoticesSheet(shell_, this, file);
    notices_->setAttribute(Qt::WA_DeleteOnClose);
    installWindowKeys(notices_, EscapeKey::leftAlone);
    notices_->open();
}

}  // namespace kelvane::ui
