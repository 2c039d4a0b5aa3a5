// SPDX-License-Identifier: MIT
#include "ui/windows/AboutView.h"

#include "operations/threads/WorkerJobs.h"
#include "display/Formatters.h"
#include "store/CompressionLog.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "store/StoreError.h"
#include "ui/common/Shell.h"
#include "ui/common/Spinner.h"
#include "ui/common/Symbols.h"
#include "ui/common/WindowKeys.h"
#include "ui/common/PageParts.h"
#include "ui/windows/AboutTexts.h"
#include "operations/windows/HistoryFigures.h"
#include "ui/sheets/NoticesSheet.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSysInfo>
#include <QTabWidget>
#include <QTimeZone>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <limits>
#include <variant>

namespace kelvane::ui {

using namespace about;
using namespace page;

namespace {

QString orQuestionMark(const std::optional<std::string>& value)
{
    return value ? QString::fromStdString(*value) : QStringLiteral("?");
}

std::int64_t clampToSigned(std::uint64_t value)
{
    return static_cast<std::int64_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::int64_t>::max()));
}

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

// The program's symbol, two arrows pressing a bar, in the tint colour.
QPixmap appBadge()
{
    return symbolPixmap(u"rectangle.compress.vertical", tintColor(), 64, 2.0);
}

QString architectureText()
{
    const QString arch = QSysInfo::buildCpuArchitecture();
    return arch == u"arm64" ? QStringLiteral("Apple Silicon (arm64)") : arch;
}

}  // namespace

double AboutView::hours(LogExportRange range)
{
    switch (range) {
    case LogExportRange::lastHour: return 1;
    case LogExportRange::lastDay: return 24;
    case LogExportRange::lastWeek: return 168;
    }
    return 24;
}

QString AboutView::pickerText(LogExportRange range)
{
    switch (range) {
    case LogExportRange::lastHour: return QStringLiteral("過去 1 時間");
    case LogExportRange::lastDay: return QStringLiteral("過去 24 時間");
    case LogExportRange::lastWeek: return QStringLiteral("過去 7 日間");
    }
    return {};
}

QString AboutView::formatUptime(double seconds)
{
    const auto s = static_cast<long long>(seconds);  // truncates toward zero
    if (s < 3600) {
        if (s % 3600 < 60)
            return QString::asprintf("%lld 秒", s % 60);
        return QString::asprintf("%lld 分 %lld 秒", (s % 3600) / 60, s % 60);
    }
    return QString::asprintf("%lld 時間 %lld 分 %lld 秒", s / 3600, (s % 3600) / 60, s % 60);
}

AboutView::AboutView(std::shared_ptr<store::ModelContainer> container, Shell& shell, AboutEnvironment environment,
                     QWidget* parent)
    : QDialog(parent), container_(std::move(container)), shell_(shell), environment_(std::move(environment))
{
    setWindowTitle(QStringLiteral("Kelvane について"));
    setWindowModality(Qt::WindowModal);
    setMinimumSize(560, 480);
    resize(720, 620);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
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
        if (index == 3 && !diagnostics_ && !statisticsShown_) {
            statisticsShown_ = true;
            refreshDiagnostics();
        }
    });

    QPointer<AboutView> self(this);
    observerToken_ = container_->addSaveObserver([self](const store::SaveNotification& note) {
        if (!note.touches<store::CompressionLog>() && !note.touches<store::RegisteredItem>())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self] { if (self) self->refreshCounts(); }, Qt::QueuedConnection);
    });
    refreshCounts();
    showDiagnostics();
}

AboutView::~AboutView()
{
    container_->removeSaveObserver(observerToken_);
}

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

QWidget* AboutView::overviewTab()
{
    auto [area, page] = textPage();
    auto* header = new QHBoxLayout;
    header->setSpacing(18);
    auto* icon = new QLabel;
    icon->setPixmap(appBadge());
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
    page->addLayout(header);
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
                                             "・Xcode 開発者やデータ分析家のように、大きなファイル群を抱える方\n"
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
        auto* titleRow = new QHBoxLayout;
        titleRow->setSpacing(8);
        QLabel* image = ui::symbolLabel(step.symbol, tintColor(), 18);
        image->setObjectName(QStringLiteral("symbol"));
        titleRow->addWidget(image);
        auto* title = styledText(step.title, FontRole::headline);
        title->setObjectName(QStringLiteral("title"));
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

QLabel* AboutView::statisticsRow(QFormLayout* form, const QString& label, const QString& text)
{
    auto* value = new QLabel(text);
    value->setTextFormat(Qt::PlainText);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setWordWrap(true);
    form->addRow(label, value);
    statistics_.insert(label, value);
    return value;
}

QWidget* AboutView::statisticsTab()
{
    auto [area, page] = textPage(16);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(sectionHeader(QStringLiteral("利用統計 / 内部情報"), QStringLiteral("chart.bar.fill")), 1);
    auto* remeasure = new QPushButton(symbolIcon(QStringLiteral("arrow.clockwise")), QStringLiteral("更新"));
    remeasure->setObjectName(QStringLiteral("remeasure"));
    remeasure->setToolTip(QStringLiteral("メモリ使用量 / アプリサイズ等を再計測"));
    remeasure->setAutoDefault(false);
    connect(remeasure, &QPushButton::clicked, this, &AboutView::refreshDiagnostics);
    titleRow->addWidget(remeasure, 0, Qt::AlignVCenter);
    page->addLayout(titleRow);

    auto section = [&](const QString& title) {
        auto* box = new QGroupBox(title);
        auto* form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        page->addWidget(box);
        return form;
    };
    QFormLayout* form = section(QStringLiteral("レジストリ"));
    statisticsRow(form, QStringLiteral("登録項目数"));
    form = section(QStringLiteral("圧縮履歴"));
    statisticsRow(form, QStringLiteral("ログ件数"));
    statisticsRow(form, QStringLiteral("累計削減量"));
    form = section(QStringLiteral("アプリ"));
    statisticsRow(form, QStringLiteral("バージョン"),
                  orQuestionMark(environment_.shortVersion) + QStringLiteral(" (build ")
                      + orQuestionMark(environment_.buildNumber) + QStringLiteral(")"));
    statisticsRow(form, QStringLiteral("Bundle ID"), orQuestionMark(environment_.bundleIdentifier))
        ->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statisticsRow(form, QStringLiteral("アプリ占有サイズ"));
    statisticsRow(form, QStringLiteral("データベース"));
    form = section(QStringLiteral("ランタイム"));
    statisticsRow(form, QStringLiteral("消費メモリ（RSS）"));
    statisticsRow(form, QStringLiteral("起動回数"));
    statisticsRow(form, QStringLiteral("初回起動"));
    statisticsRow(form, QStringLiteral("前回起動"));
    statisticsRow(form, QStringLiteral("プロセス稼働時間"));
    form = section(QStringLiteral("環境"));
    statisticsRow(form, QStringLiteral("OS"), QSysInfo::prettyProductName());
    statisticsRow(form, QStringLiteral("アーキテクチャ"), architectureText());
    statisticsRow(form, QStringLiteral("ロケール"), QLocale::system().name());
    statisticsRow(form, QStringLiteral("タイムゾーン"), QString::fromUtf8(QTimeZone::systemTimeZoneId()));
    statisticsRow(form, QStringLiteral("ホーム"), QDir::homePath())->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QLabel* support = statisticsRow(form, QStringLiteral("Application Support"));
    support->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form = section(QStringLiteral("リンク"));
    if (QPushButton* supportLink = link(QStringLiteral("サポート / 不具合報告"), environment_.supportPage))
        form->addRow(supportLink);

    form = section(QStringLiteral("ログ書き出し"));
    rangePicker_ = new QComboBox;
    for (const auto range : {LogExportRange::lastHour, LogExportRange::lastDay, LogExportRange::lastWeek})
        rangePicker_->addItem(pickerText(range), static_cast<int>(range));
    rangePicker_->setCurrentIndex(static_cast<int>(exportRange_));
    connect(rangePicker_, &QComboBox::currentIndexChanged, this,
            [this](int index) { exportRange_ = static_cast<LogExportRange>(index); });
    form->addRow(QStringLiteral("範囲"), rangePicker_);
    auto* exportRow = new QHBoxLayout;
    exportButton_ = new QPushButton(symbolIcon(QStringLiteral("square.and.arrow.up")), QStringLiteral("ログを書き出し…"));
    exportButton_->setObjectName(QStringLiteral("exportLogs"));
    exportButton_->setAutoDefault(false);
    exportButton_->setToolTip(QStringLiteral("バグ報告用に Kelvane のログの該当範囲をテキストファイルに保存します"));
    connect(exportButton_, &QPushButton::clicked, this, &AboutView::exportLogFile);
    // While exporting, the button shows only a spinner, at its own size.
    exportSpinner_ = new Spinner(exportButton_);
    exportSpinner_->hide();
    exportRow->addWidget(exportButton_);
    exportRow->addStretch();
    form->addRow(exportRow);
    exportErrorLabel_ = styledText({}, FontRole::caption, QColor(0xd7, 0x37, 0x2f));
    exportErrorLabel_->setObjectName(QStringLiteral("exportError"));
    exportErrorLabel_->hide();
    form->addRow(exportErrorLabel_);
    page->addStretch();
    return area;
}

void AboutView::refreshCounts()
{
    try {
        auto& context = container_->mainContext();
        const auto logs = context.fetch<store::CompressionLog>();
        const auto registered = context.fetch<store::RegisteredItem>();
        statistics_.value(QStringLiteral("登録項目数"))->setText(QString::number(registered.size()) + QStringLiteral(" 件"));
        statistics_.value(QStringLiteral("ログ件数"))->setText(QString::number(logs.size()) + QStringLiteral(" 件"));
        statistics_.value(QStringLiteral("累計削減量"))->setText(display::formatBytes(operations::totalBytesSaved(logs)));
    } catch (const store::StoreError&) {
        // The counts shown stay until the next save reads again.
    }
}

void AboutView::refreshDiagnostics()
{
    QPointer<AboutView> self(this);
    const auto files = environment_.programFiles;
    operations::runOnWorkers<AboutDiagnostics>({[files] { return AboutDiagnostics::collect(files); }},
                                               [self](std::vector<AboutDiagnostics> results) {
                                                   if (!self || results.empty())
                                                       return;
                                                   self->diagnostics_ = results.front();
                                                   self->showDiagnostics();
                                                   emit self->diagnosticsChanged();
                                               });
}

void AboutView::showDiagnostics()
{
    const auto bytesRow = [this](const QString& label, std::optional<std::uint64_t> bytes) {
        QLabel* value = statistics_.value(label);
        value->setText(bytes ? display::formatBytes(clampToSigned(*bytes)) : QStringLiteral("計測中…"));
        value->setToolTip(bytes ? display::formatExactBytes(clampToSigned(*bytes)) : QString());
    };
    const auto dateRow = [this](const QString& label, const std::optional<QDateTime>& date) {
        statistics_.value(label)->setText(date ? display::dateTimeFormatter().string(*date) : QStringLiteral("—"));
    };
    const auto& d = diagnostics_;
    bytesRow(QStringLiteral("アプリ占有サイズ"), d ? std::optional(d->bundleSizeBytes) : std::nullopt);
    bytesRow(QStringLiteral("データベース"), d ? std::optional(d->dbSizeBytes) : std::nullopt);
    bytesRow(QStringLiteral("消費メモリ（RSS）"), d ? std::optional(d->residentMemoryBytes) : std::nullopt);
    statistics_.value(QStringLiteral("起動回数"))
        ->setText(d ? QString::number(d->launchCount) + QStringLiteral(" 回") : QStringLiteral("—"));
    dateRow(QStringLiteral("初回起動"), d ? d->firstLaunchAt : std::nullopt);
    dateRow(QStringLiteral("前回起動"), d ? d->previousLaunchAt : std::nullopt);
    statistics_.value(QStringLiteral("プロセス稼働時間"))
        ->setText(d ? formatUptime(d->processStartedAt.msecsTo(QDateTime::currentDateTime()) / 1000.0)
                    : QStringLiteral("—"));
    QLabel* support = statistics_.value(QStringLiteral("Application Support"));
    const bool hasFolder = d && d->applicationSupportDir;
    support->setText(hasFolder ? *d->applicationSupportDir : QString());
    if (auto* form = qobject_cast<QFormLayout*>(support->parentWidget()->layout()))
        form->setRowVisible(support, hasFolder);
}

QString AboutView::statisticsValue(const QString& rowLabel) const
{
    const QLabel* label = statistics_.value(rowLabel);
    return label ? label->text() : QString();
}

QString AboutView::statisticsToolTip(const QString& rowLabel) const
{
    const QLabel* label = statistics_.value(rowLabel);
    return label ? label->toolTip() : QString();
}

// ---------------------------------------------------------------- log export

void AboutView::setExportRange(LogExportRange range)
{
    rangePicker_->setCurrentIndex(static_cast<int>(range));
}

void AboutView::exportLogFile()
{
    if (isExporting_)
        return;
    exportError_.reset();
    exportErrorLabel_->hide();
    isExporting_ = true;
    exportButton_->setEnabled(false);
    exportButton_->setFixedSize(exportButton_->size());
    exportButton_->setText(QString());
    exportButton_->setIcon(QIcon());
    exportSpinner_->move((exportButton_->width() - exportSpinner_->width()) / 2,
                         (exportButton_->height() - exportSpinner_->height()) / 2);
    exportSpinner_->show();

    using Outcome = std::variant<std::string, QString>;  // the text, or why it failed
    const double span = hours(exportRange_);
    auto read = environment_.exportLogs;
    QPointer<AboutView> self(this);
    operations::runOnWorkers<Outcome>(
        {[read, span]() -> Outcome {
            try {
                return read(span);
            } catch (const std::exception& error) {
                return QString::fromLocal8Bit(error.what());
            }
        }},
        [self](std::vector<Outcome> results) {
            if (!self || results.empty())
                return;
            if (const auto* failure = std::get_if<QString>(&results.front())) {
                self->finishExport(QStringLiteral("ログ取得に失敗しました: ") + *failure);
                return;
            }
            const std::string text = std::get<std::string>(results.front());
            const QString name = self->environment_.exportFileName(QDateTime::currentDateTime());
            self->shell_.pickSaveFile(self, QStringLiteral("ログを書き出し"), QDir::homePath().toStdString(), name,
                                      [self, text](std::filesystem::path destination) {
                                          if (!self)
                                              return;
                                          if (destination.empty()) {
                                              self->finishExport(std::nullopt);
                                              return;
                                          }
                                          // Written beside the destination and moved over it whole.
                                          QSaveFile file(QString::fromStdString(destination.string()));
                                          const bool written = file.open(QIODevice::WriteOnly)
                                                               && file.write(text.data(), qint64(text.size()))
                                                                      == qint64(text.size())
                                                               && file.commit();
                                          if (!written)
                                              self->finishExport(QStringLiteral("ファイル保存に失敗しました: ")
                                                                 + file.errorString());
                                          else
                                              self->finishExport(std::nullopt);
                                      });
        });
}

void AboutView::finishExport(std::optional<QString> error)
{
    exportError_ = std::move(error);
    exportErrorLabel_->setText(exportError_.value_or(QString()));
    exportErrorLabel_->setVisible(exportError_.has_value());
    isExporting_ = false;
    exportSpinner_->hide();
    exportButton_->setMinimumSize(0, 0);
    exportButton_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    exportButton_->setText(QStringLiteral("ログを書き出し…"));
    exportButton_->setIcon(symbolIcon(QStringLiteral("square.and.arrow.up")));
    exportButton_->setEnabled(true);
    emit exportFinished();
}

// ---------------------------------------------------------------- credits

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

    const auto entry = [&](const QString& name, const QString& description, const QString& licence, const QUrl& url) {
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
        page->addWidget(box);
    };

    page->addWidget(sectionHeader(QStringLiteral("参考にしたソフトウェア"), QStringLiteral("books.vertical.fill")));
    page->addWidget(paragraph(QStringLiteral("macOS の decmpfs を扱う公開ソフトウェア。Kelvane の実装はこれらと独立に書かれていますが、"
                                             "同分野の先行プロジェクトとして敬意を表してリンクします。"),
                              TextStyle::secondary));
    // Earlier work in the field is credited by what it is, not by name or
    // address: Kelvane names no other implementation of what it does.
    entry(QStringLiteral("decmpfs CLI ツール"), QStringLiteral("decmpfs を扱う Mac 向け CLI ツール。"),
          QStringLiteral("GPL-3.0 / BSL-1.0"), QUrl());
    entry(QStringLiteral("別言語による実装"), QStringLiteral("macOS の透過圧縮を扱う、別のプログラミング言語で書かれた実装。"),
          QStringLiteral("GPL-3.0"), QUrl());
    entry(QStringLiteral("OS カーネル"), QStringLiteral("Apple のオペレーティングシステムカーネル。decmpfs の実装が含まれる。"),
          QStringLiteral("Apple Public Source License 2.0"), QUrl());

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
