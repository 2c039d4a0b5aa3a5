// SPDX-License-Identifier: MIT
#include "ui/storage/VolumeDetailView.h"

#include "display/Formatters.h"
#include "ui/common/VisibleName.h"
#include "ui/storage/StorageStyle.h"
#include "volumes/CompressionAvailabilityVerdict.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace kelvane::ui {

namespace {

using volumes::StorageVolume;
using MountFlag = StorageVolume::MountFlag;
using storage_style::TextStyle;

const std::pair<MountFlag, const char*> kMountFlagLabels[] = {
    {MountFlag::readOnly, "RDONLY"},      {MountFlag::synchronous, "SYNC"},  {MountFlag::noExec, "NOEXEC"},
    {MountFlag::noSuid, "NOSUID"},        {MountFlag::noDev, "NODEV"},       {MountFlag::async, "ASYNC"},
    {MountFlag::dontBrowse, "DONTBROWSE"}, {MountFlag::quota, "QUOTA"},      {MountFlag::local, "LOCAL"},
    {MountFlag::rootfs, "ROOTFS"},        {MountFlag::automounted, "AUTOMOUNTED"}, {MountFlag::journaled, "JOURNALED"},
    {MountFlag::noAtime, "NOATIME"},
};

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QLabel* textLabel(const QString& text, TextStyle style, QWidget* parent, bool secondary = false)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(storage_style::font(style, parent->font()));
    if (secondary) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, storage_style::secondary(parent));
        label->setPalette(palette);
    }
    return label;
}

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void makeSelectable(QLabel* label)
{
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setCursor(Qt::IBeamCursor);
}

// A label with a leading symbol, on one line.
QWidget* symbolLabel(const QString& text, const QString& symbol, TextStyle style, QWidget* parent, bool secondary)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QLabel* label = textLabel(text, style, row, secondary);
    const int size = QFontMetrics(label->font()).height();
    const QColor color = secondary ? storage_style::secondary(parent) : parent->palette().color(QPalette::WindowText);
    layout->addWidget(new SymbolView(symbol, color, size, row), 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    return row;
}

// A titled block of the page.
QVBoxLayout* addCard(QVBoxLayout* page, QWidget* content, const QString& title, const QString& symbol)
{
    auto* card = new QVBoxLayout;
    card->setSpacing(10);
    card->addWidget(symbolLabel(title, symbol, TextStyle::headline, content, false));
    page->addLayout(card);
    return card;
}

// Rows of label and value in a rounded inset group.
class FormGroup : public QFrame {
public:
    explicit FormGroup(QWidget* parent) : QFrame(parent), grid_(new QGridLayout(this))
    {
        setObjectName(QStringLiteral("formGroup"));
        grid_->setContentsMargins(12, 6, 12, 6);
        grid_->setHorizontalSpacing(16);
        grid_->setVerticalSpacing(0);
        grid_->setColumnStretch(0, 1);
    }

    void addRow(const QString& label, QWidget* value)
    {
        if (rows_ > 0) {
            auto* line = new QFrame(this);
            line->setFixedHeight(1);
            line->setAutoFillBackground(true);
            QPalette palette = line->palette();
            QColor color = palette.color(QPalette::WindowText);
            color.setAlphaF(0.1f);
            palette.setColor(QPalette::Window, color);
            line->setPalette(palette);
            grid_->addWidget(line, 2 * rows_ - 1, 0, 1, 2);
        }
        QLabel* name = textLabel(label, TextStyle::body, this);
        name->setMinimumHeight(28);
        value->setObjectName(QStringLiteral("value:") + label);
        grid_->addWidget(name, 2 * rows_, 0, Qt::AlignVCenter | Qt::AlignLeft);
        grid_->addWidget(value, 2 * rows_, 1, Qt::AlignVCenter | Qt::AlignRight);
        ++rows_;
    }

    void addTextRow(const QString& label, const QString& text, bool selectable = false)
    {
        QLabel* value = textLabel(text, TextStyle::body, this, true);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (selectable)
            makeSelectable(value);
        addRow(label, value);
    }

    int rowCount() const { return rows_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::Base));
        p.drawRoundedRect(QRectF(rect()), 8, 8);
    }

private:
    QGridLayout* grid_;
    int rows_ = 0;
};

// The availability card's row, washed with the verdict's tint.
class TintedPanel : public QFrame {
public:
    TintedPanel(const QColor& tint, QWidget* parent) : QFrame(parent), tint_(tint) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        QColor wash = tint_;
        wash.setAlphaF(0.1f);
        p.setBrush(wash);
        p.drawRoundedRect(QRectF(rect()), 8, 8);
    }

private:
    QColor tint_;
};

QWidget* boolValueLabel(bool value, const QString& trueSymbol, const QString& falseSymbol, const QColor& trueColor,
                        QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    QLabel* text = textLabel(value ? QStringLiteral("はい") : QStringLiteral("いいえ"), TextStyle::body, row, true);
    const int size = QFontMetrics(text->font()).height();
    layout->addWidget(new SymbolView(value ? trueSymbol : falseSymbol,
                                     value ? trueColor : storage_style::secondary(parent), size, row));
    layout->addWidget(text);
    return row;
}

QWidget* capabilityMark(bool value, QWidget* parent)
{
    const int size = QFontMetrics(parent->font()).height();
    return value ? new SymbolView(QStringLiteral("checkmark.circle.fill"), storage_style::green(), size, parent)
                 : new SymbolView(QStringLiteral("xmark.circle"), storage_style::secondary(parent), size, parent);
}

QString decimal(std::int64_t value)
{
    return QString::number(value);
}

}  // namespace

double VolumeDetailView::usageRatio(const StorageVolume& volume)
{
    if (volume.totalCapacity < 1)
        return 0.0;
    return static_cast<double>(volume.usedCapacity()) / static_cast<double>(volume.totalCapacity);
}

QString VolumeDetailView::usagePercentText(const StorageVolume& volume)
{
    // std::round rounds halves away from zero.
    return QString::number(static_cast<long long>(std::round(usageRatio(volume) * 100.0))) + QStringLiteral("%");
}

CapacityLevel VolumeDetailView::capacityTint(const StorageVolume& volume)
{
    if (volume.totalCapacity < 1)
        return CapacityLevel::normal;
    return capacityLevel(usageRatio(volume));
}

QString VolumeDetailView::mountFlagsText(const std::set<MountFlag>& flags)
{
    QStringList labels;
    for (const auto& [flag, label] : kMountFlagLabels)
        if (flags.count(flag) != 0)
            labels << QString::fromLatin1(label);
    return labels.join(QStringLiteral(", "));
}

VolumeDetailView::VolumeDetailView(StorageVolume volume, QWidget* parent)
    : QScrollArea(parent), volume_(std::move(volume))
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    build();
}

void VolumeDetailView::setVolume(StorageVolume volume)
{
    if (volume == volume_)
        return;
    // The page is drawn anew for the new figures, at the place it was read.
    const int scrolled = verticalScrollBar()->value();
    volume_ = std::move(volume);
    build();
    widget()->layout()->activate();
    setWidgetResizable(true);  // takes the new page's size into the scroll range now
    verticalScrollBar()->setValue(scrolled);
}

void VolumeDetailView::build()
{
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("detailContent"));
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(24, 24, 24, 24);
    page->setSpacing(22);
    const StorageVolume& v = volume_;
    const QColor tint = storage_style::accent(this);

    // Header.
    {
        auto* header = new QHBoxLayout;
        header->setSpacing(16);
        header->addWidget(new SymbolView(v.isLocal ? QStringLiteral("internaldrive.fill") : QStringLiteral("externaldrive.fill"),
                                         tint, 44, content),
                          0, Qt::AlignVCenter);
        auto* lines = new QVBoxLayout;
        lines->setSpacing(4);
        QLabel* name = textLabel(qs(v.name), TextStyle::title2, content);
        name->setObjectName(QStringLiteral("volumeName"));
        lines->addWidget(name);
        QLabel* path = textLabel(visibleName(v.url), TextStyle::caption, content, true);
        path->setObjectName(QStringLiteral("volumePath"));
        makeSelectable(path);
        lines->addWidget(path);
        if (v.formatDescription) {
            QLabel* format = textLabel(qs(*v.formatDescription), TextStyle::caption, content, true);
            format->setObjectName(QStringLiteral("volumeFormat"));
            lines->addWidget(format);
        }
        header->addLayout(lines, 1);
        page->addLayout(header);
    }

    // Capacity.
    {
        QVBoxLayout* card = addCard(page, content, QStringLiteral("容量"), QStringLiteral("chart.bar.fill"));
        auto* bar = new CapacityBar(v.usedCapacity(), v.totalCapacity, content);
        bar->setFixedHeight(22);
        card->addWidget(bar);
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(16);
        grid->setVerticalSpacing(6);
        for (int column = 0; column < 4; ++column)
            grid->setColumnStretch(column, 1);
        int row = 0;
        int column = 0;
        auto cell = [&](const QString& label, const QString& value) {
            auto* box = new QVBoxLayout;
            box->setSpacing(2);
            box->addWidget(textLabel(label, TextStyle::caption, content, true));
            QLabel* figure = textLabel(value, TextStyle::body, content);
            figure->setObjectName(QStringLiteral("cell:") + label);
            box->addWidget(figure);
            box->addStretch(1);
            grid->addLayout(box, row, column++, Qt::AlignLeft | Qt::AlignTop);
            return figure;
        };
        cell(QStringLiteral("使用"), display::formatBytes(v.usedCapacity()));
        cell(QStringLiteral("空き"), display::formatBytes(v.availableCapacity));
        cell(QStringLiteral("総容量"), display::formatBytes(v.totalCapacity));
        QLabel* percent = cell(QStringLiteral("使用率"), usagePercentText(v));
        switch (capacityTint(v)) {
        case CapacityLevel::normal: setTextColor(percent, tint); break;
        case CapacityLevel::high: setTextColor(percent, storage_style::orange()); break;
        case CapacityLevel::critical: setTextColor(percent, storage_style::red()); break;
        }
        if (v.availableImportantUsage && *v.availableImportantUsage != v.availableCapacity) {
            row = 1;
            column = 0;
            cell(QStringLiteral("重要用途"), display::formatBytes(*v.availableImportantUsage));
            if (v.availableOpportunisticUsage)
                cell(QStringLiteral("オポチュ"), display::formatBytes(*v.availableOpportunisticUsage));
            cell(QStringLiteral("ブロック"), decimal(v.blockSize) + QStringLiteral(" B"));
            if (v.resourceCount)
                cell(QStringLiteral("リソース数"), decimal(*v.resourceCount));
        }
        card->addLayout(grid);
    }

    // Availability.
    {
        const volumes::CompressionAvailabilityVerdict verdict(v);
        const QColor verdictTint = storage_style::tintColor(verdict.tint, this);
        QVBoxLayout* card = addCard(page, content, QStringLiteral("Kelvane で利用できますか？"),
                                    QStringLiteral("shippingbox.and.arrow.backward.fill"));
        auto* panel = new TintedPanel(verdictTint, content);
        panel->setObjectName(QStringLiteral("availability"));
        auto* row = new QHBoxLayout(panel);
        row->setContentsMargins(12, 12, 12, 12);
        row->setSpacing(12);
        auto* symbol = new SymbolView(qs(verdict.symbol), verdictTint, 36, panel);
        symbol->setObjectName(QStringLiteral("verdictSymbol"));
        symbol->setFixedWidth(44);
        row->addWidget(symbol, 0, Qt::AlignTop);
        auto* lines = new QVBoxLayout;
        lines->setSpacing(4);
        QLabel* title = textLabel(qs(verdict.title), TextStyle::title3, panel);
        title->setObjectName(QStringLiteral("verdictTitle"));
        setTextColor(title, verdictTint);
        lines->addWidget(title);
        QLabel* summary = textLabel(qs(verdict.summary), TextStyle::callout, panel);
        summary->setObjectName(QStringLiteral("verdictSummary"));
        summary->setWordWrap(true);
        lines->addWidget(summary);
        for (const std::string& note : verdict.notes) {
            QWidget* line = symbolLabel(qs(note), QStringLiteral("info.circle"), TextStyle::caption, panel, true);
            line->setObjectName(QStringLiteral("verdictNote"));
            line->findChild<QLabel*>()->setWordWrap(true);
            lines->addWidget(line);
        }
        row->addLayout(lines, 1);
        card->addWidget(panel);
    }

    // Hardware.
    if (v.hardware) {
        const auto& h = *v.hardware;
        QVBoxLayout* card = addCard(page, content, QStringLiteral("ハードウェア"), QStringLiteral("cpu.fill"));
        auto* form = new FormGroup(content);
        form->setObjectName(QStringLiteral("hardwareForm"));
        if (h.deviceModel)
            form->addTextRow(QStringLiteral("型番"), qs(*h.deviceModel), true);
        if (h.deviceVendor)
            form->addTextRow(QStringLiteral("ベンダー"), qs(*h.deviceVendor));
        if (h.deviceProtocol)
            form->addTextRow(QStringLiteral("接続"), qs(*h.deviceProtocol));
        if (h.deviceRevision)
            form->addTextRow(QStringLiteral("ファームウェア"), qs(*h.deviceRevision));
        if (h.bsdName)
            form->addTextRow(QStringLiteral("BSD 名"), qs(*h.bsdName));
        if (h.isSolidState)
            form->addTextRow(QStringLiteral("メディア"), *h.isSolidState ? QStringLiteral("SSD（フラッシュ）") : QStringLiteral("HDD（回転）"));
        if (h.mediaSize)
            form->addTextRow(QStringLiteral("メディア容量"), display::formatBytes(*h.mediaSize));
        if (h.mediaBlockSize)
            form->addTextRow(QStringLiteral("メディアブロックサイズ"), decimal(*h.mediaBlockSize) + QStringLiteral(" B"));
        if (h.isWritable)
            form->addTextRow(QStringLiteral("書き込み可能"), *h.isWritable ? QStringLiteral("はい") : QStringLiteral("いいえ"));
        if (form->rowCount() == 0)
            form->setMinimumHeight(12);
        card->addWidget(form);
    }

    // File system.
    {
        QVBoxLayout* card = addCard(page, content, QStringLiteral("ファイルシステム"), QStringLiteral("doc.on.doc.fill"));
        auto* form = new FormGroup(content);
        form->addTextRow(QStringLiteral("種別"), qs(v.fileSystemType).toUpper());
        if (v.subtype)
            form->addTextRow(QStringLiteral("サブタイプ"), decimal(*v.subtype));
        if (v.formatDescription)
            form->addTextRow(QStringLiteral("フォーマット"), qs(*v.formatDescription));
        if (v.uuid)
            form->addTextRow(QStringLiteral("UUID"), qs(*v.uuid), true);
        if (v.creationDate)
            form->addTextRow(QStringLiteral("作成日"), display::dateFormatter().string(*v.creationDate));
        if (v.mountSource && !v.mountSource->empty())
            form->addTextRow(QStringLiteral("マウント元"), qs(*v.mountSource), true);
        form->addTextRow(QStringLiteral("クラスタ / ブロックサイズ"), decimal(v.blockSize) + QStringLiteral(" バイト"));
        form->addTextRow(QStringLiteral("総ブロック数"), QLocale().toString(static_cast<qulonglong>(v.totalBlocks)));
        if (v.maximumFileSize)
            form->addTextRow(QStringLiteral("最大ファイルサイズ"), display::formatBytes(*v.maximumFileSize));
        card->addWidget(form);
    }

    // Mount state.
    {
        QVBoxLayout* card = addCard(page, content, QStringLiteral("マウント状態"),
                                    QStringLiteral("externaldrive.connected.to.line.below.fill"));
        auto* form = new FormGroup(content);
        const QColor green = storage_style::green();
        const QString check = QStringLiteral("checkmark.circle.fill");
        const QString minus = QStringLiteral("minus.circle");
        form->addRow(QStringLiteral("読み取り専用"), boolValueLabel(v.isReadOnly, QStringLiteral("lock.fill"),
                                                             QStringLiteral("lock.open.fill"), storage_style::orange(), form));
        form->addRow(QStringLiteral("暗号化"), boolValueLabel(v.isEncrypted, QStringLiteral("checkmark.seal.fill"),
                                                           QStringLiteral("circle"), green, form));
        form->addRow(QStringLiteral("内蔵"), boolValueLabel(v.isInternal, check, minus, green, form));
        form->addRow(QStringLiteral("リムーバブル"), boolValueLabel(v.isRemovable, check, minus, green, form));
        form->addRow(QStringLiteral("Eject 可能"), boolValueLabel(v.isEjectable, check, minus, green, form));
        form->addRow(QStringLiteral("自動マウント"), boolValueLabel(v.isAutomounted, check, minus, green, form));
        form->addRow(QStringLiteral("ファイルマネージャに表示"), boolValueLabel(v.isBrowsable, check, minus, green, form));
        form->addRow(QStringLiteral("ルート FS"), boolValueLabel(v.isRoot, QStringLiteral("house.fill"), QStringLiteral("circle"), green, form));
        if (!v.mountFlags.empty())
            form->addTextRow(QStringLiteral("マウントフラグ"), mountFlagsText(v.mountFlags));
        card->addWidget(form);
    }

    // Capabilities.
    {
        const auto& c = v.capabilities;
        QVBoxLayout* card = addCard(page, content, QStringLiteral("機能 / Capabilities"), QStringLiteral("checkmark.seal.fill"));
        auto* headline = new FormGroup(content);
        auto* compression = new QWidget(headline);
        auto* row = new QHBoxLayout(compression);
        row->setContentsMargins(0, 2, 0, 2);
        row->setSpacing(8);
        QLabel* text = textLabel(c.supportsCompression ? QStringLiteral("decmpfs 透過圧縮 — 対応")
                                                       : QStringLiteral("decmpfs 透過圧縮 — 未対応"),
                                 TextStyle::body, compression);
        QFont bold = text->font();
        bold.setBold(true);
        text->setFont(bold);
        text->setObjectName(QStringLiteral("compressionCapability"));
        const int size = QFontMetrics(storage_style::font(TextStyle::title3, font())).height();
        row->addWidget(c.supportsCompression
                           ? new SymbolView(QStringLiteral("checkmark.circle.fill"), storage_style::green(), size, compression)
                           : new SymbolView(QStringLiteral("xmark.circle.fill"), storage_style::red(), size, compression));
        row->addWidget(text);
        row->addStretch(1);
        auto* headlineLayout = static_cast<QGridLayout*>(headline->layout());
        headlineLayout->addWidget(compression, 0, 0, 1, 2);
        card->addWidget(headline);

        const std::pair<const char*, std::vector<std::pair<const char*, bool>>> sections[] = {
            {"ストレージ機能",
             {{"ハードリンク", c.supportsHardLinks},
              {"シンボリックリンク", c.supportsSymbolicLinks},
              {"ジャーナリング対応", c.supportsJournaling},
              {"ジャーナリング有効", c.isJournaling},
              {"スパースファイル", c.supportsSparseFiles},
              {"ゼロラン圧縮", c.supportsZeroRuns},
              {"ファイルクローン (reflink)", c.supportsCloning},
              {"不変ファイル", c.supportsImmutableFiles},
              {"ファイル保護", c.supportsFileProtection}}},
            {"命名 / リネーム",
             {{"大文字小文字区別", c.supportsCaseSensitive},
              {"大文字小文字保持", c.supportsCasePreserved},
              {"リネーム", c.supportsRenaming},
              {"RENAME_SWAP", c.supportsSwapRenaming},
              {"RENAME_EXCL", c.supportsExclusiveRenaming}}},
            {"セキュリティ / メタデータ",
             {{"アドバイザリロック", c.supportsAdvisoryFileLocking},
              {"拡張セキュリティ", c.supportsExtendedSecurity},
              {"アクセス権限", c.supportsAccessPermissions},
              {"永続 ID", c.supportsPersistentIDs},
              {"ボリュームサイズ取得", c.supportsVolumeSizes},
              {"ルート日時", c.supportsRootDirectoryDates}}},
        };
        for (const auto& [title, rows] : sections) {
            QLabel* sectionTitle = textLabel(QString::fromUtf8(title), TextStyle::caption, content, true);
            sectionTitle->setContentsMargins(12, 6, 0, 0);
            card->addWidget(sectionTitle);
            auto* form = new FormGroup(content);
            for (const auto& [label, value] : rows)
                form->addRow(QString::fromUtf8(label), capabilityMark(value, form));
            card->addWidget(form);
        }
    }

    page->addStretch(1);
    setWidget(content);
}

}  // namespace kelvane::ui
