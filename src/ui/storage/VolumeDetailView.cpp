// SPDX-License-Identifier: MIT
#include "ui/storage/VolumeDetailView.h"

#include "display/Formatters.h"
#include "ui/common/PageParts.h"
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

using page::FormGroup;
using volumes::StorageVolume;
using Capabilities = StorageVolume::Capabilities;
using MountFlag = StorageVolume::MountFlag;
using storage_style::TextStyle;

const std::pair<MountFlag, const char*> kMountFlagLabels[] = {
    {MountFlag::readOnly, "RDONLY"},      {MountFlag::synchronous, "SYNC"},  {MountFlag::noExec, "NOEXEC"},
    {MountFlag::noSuid, "NOSUID"},        {MountFlag::noDev, "NODEV"},       {MountFlag::async, "ASYNC"},
    {MountFlag::dontBrowse, "DONTBROWSE"}, {MountFlag::quota, "QUOTA"},      {MountFlag::local, "LOCAL"},
    {MountFlag::rootfs, "ROOTFS"},        {MountFlag::automounted, "AUTOMOUNTED"}, {MountFlag::journaled, "JOURNALED"},
    {MountFlag::noAtime, "NOATIME"},
};

// The capability rows, section by section: label, name, flag.
struct CapabilityRow {
    const char* label;
    const char* name;
    bool Capabilities::*flag;
};
struct CapabilitySection {
    const char* title;
    std::vector<CapabilityRow> rows;
};
const std::vector<CapabilitySection>& capabilitySections()
{
    static const std::vector<CapabilitySection> sections = {
        {"ストレージ機能",
         {{"ハードリンク", "hardLinks", &Capabilities::supportsHardLinks},
          {"シンボリックリンク", "symbolicLinks", &Capabilities::supportsSymbolicLinks},
          {"ジャーナリング対応", "journalingSupported", &Capabilities::supportsJournaling},
          {"ジャーナリング有効", "journalingOn", &Capabilities::isJournaling},
          {"スパースファイル", "sparseFiles", &Capabilities::supportsSparseFiles},
          {"ゼロラン圧縮", "zeroRuns", &Capabilities::supportsZeroRuns},
          {"ファイルクローン (reflink)", "cloning", &Capabilities::supportsCloning},
          {"不変ファイル", "immutableFiles", &Capabilities::supportsImmutableFiles},
          {"ファイル保護", "fileProtection", &Capabilities::supportsFileProtection}}},
        {"命名 / リネーム",
         {{"大文字小文字区別", "caseSensitive", &Capabilities::supportsCaseSensitive},
          {"大文字小文字保持", "casePreserved", &Capabilities::supportsCasePreserved},
          {"リネーム", "renaming", &Capabilities::supportsRenaming},
          {"RENAME_SWAP", "swapRenaming", &Capabilities::supportsSwapRenaming},
          {"RENAME_EXCL", "exclusiveRenaming", &Capabilities::supportsExclusiveRenaming}}},
        {"セキュリティ / メタデータ",
         {{"アドバイザリロック", "advisoryLocking", &Capabilities::supportsAdvisoryFileLocking},
          {"拡張セキュリティ", "extendedSecurity", &Capabilities::supportsExtendedSecurity},
          {"アクセス権限", "accessPermissions", &Capabilities::supportsAccessPermissions},
          {"永続 ID", "persistentIds", &Capabilities::supportsPersistentIDs},
          {"ボリュームサイズ取得", "volumeSizes", &Capabilities::supportsVolumeSizes},
          {"ルート日時", "rootDirectoryDates", &Capabilities::supportsRootDirectoryDates}}},
    };
    return sections;
}

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QString decimal(std::int64_t value)
{
    return QString::number(value);
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("はい") : QStringLiteral("いいえ");
}

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLabel* textLabel(const QString& text, TextStyle style, QWidget* parent, bool secondary = false)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(storage_style::font(style, parent->font()));
    if (secondary)
        setTextColor(label, storage_style::secondary(parent));
    return label;
}

// A label with a leading symbol, on one line.
QWidget* symbolLabel(const QString& text, const QString& symbol, TextStyle style, QWidget* parent, bool secondary)
{
    auto [row, layout] = page::namedBox({}, QBoxLayout::LeftToRight, {}, 6);
    row->setParent(parent);
    QLabel* label = textLabel(text, style, row, secondary);
    const int size = QFontMetrics(label->font()).height();
    const QColor color = secondary ? storage_style::secondary(parent) : parent->palette().color(QPalette::WindowText);
    layout->addWidget(new SymbolView(symbol, color, size, row), 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    return row;
}

// A titled block of the page, named "<name>Card".
std::pair<QWidget*, QVBoxLayout*> card(const QString& title, const QString& symbol, const QString& name,
                                       QWidget* content)
{
    auto* box = new QWidget(content);
    box->setObjectName(name + QStringLiteral("Card"));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(symbolLabel(title, symbol, TextStyle::headline, content, false));
    return {box, layout};
}

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
    auto [row, layout] = page::namedBox({}, QBoxLayout::LeftToRight, {}, 4);
    row->setParent(parent);
    QLabel* text = textLabel(yesNo(value), TextStyle::body, row, true);
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

// ---------------------------------------------------------------- builders

QLayout* buildHeader(const StorageVolume& v, QWidget* content)
{
    auto* header = new QHBoxLayout;
    header->setSpacing(16);
    header->addWidget(new SymbolView(v.isLocal ? QStringLiteral("internaldrive.fill") : QStringLiteral("externaldrive.fill"),
                                     storage_style::accent(content), 44, content),
                      0, Qt::AlignVCenter);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(4);
    QLabel* name = textLabel(visibleName(v.name), TextStyle::title2, content);
    name->setObjectName(QStringLiteral("volumeName"));
    lines->addWidget(name);
    QLabel* path = textLabel(visibleName(v.url), TextStyle::caption, content, true);
    path->setObjectName(QStringLiteral("volumePath"));
    path->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    path->setCursor(Qt::IBeamCursor);
    lines->addWidget(path);
    if (v.formatDescription) {
        QLabel* format = textLabel(qs(*v.formatDescription), TextStyle::caption, content, true);
        format->setObjectName(QStringLiteral("volumeFormat"));
        lines->addWidget(format);
    }
    header->addLayout(lines, 1);
    return header;
}

// The capacity figures in a grid of four columns; each cell's figure is
// named "cell:<name>". A missing cell leaves no gap.
class CapacityCells {
public:
    explicit CapacityCells(QWidget* content) : content_(content), grid_(new QGridLayout)
    {
        grid_->setHorizontalSpacing(16);
        grid_->setVerticalSpacing(6);
        for (int column = 0; column < 4; ++column)
            grid_->setColumnStretch(column, 1);
    }

    QLabel* add(const QString& label, const QString& name, const QString& value)
    {
        auto* box = new QVBoxLayout;
        box->setSpacing(2);
        box->addWidget(textLabel(label, TextStyle::caption, content_, true));
        QLabel* figure = textLabel(value, TextStyle::body, content_);
        figure->setObjectName(QStringLiteral("cell:") + name);
        box->addWidget(figure);
        box->addStretch(1);
        grid_->addLayout(box, row_, column_++, Qt::AlignLeft | Qt::AlignTop);
        return figure;
    }

    void nextRow()
    {
        ++row_;
        column_ = 0;
    }

    QGridLayout* grid() const { return grid_; }

private:
    QWidget* content_;
    QGridLayout* grid_;
    int row_ = 0;
    int column_ = 0;
};

QWidget* buildCapacityCard(const StorageVolume& v, QWidget* content)
{
    auto [box, layout] = card(QStringLiteral("容量"), QStringLiteral("chart.bar.fill"), QStringLiteral("capacity"), content);
    auto* bar = new CapacityBar(v.usedCapacity(), v.totalCapacity, content);
    bar->setFixedHeight(22);
    layout->addWidget(bar);
    CapacityCells cells(content);
    cells.add(QStringLiteral("使用"), QStringLiteral("used"), display::formatBytes(v.usedCapacity()));
    cells.add(QStringLiteral("空き"), QStringLiteral("available"), display::formatBytes(v.availableCapacity));
    cells.add(QStringLiteral("総容量"), QStringLiteral("total"), display::formatBytes(v.totalCapacity));
    QLabel* percent = cells.add(QStringLiteral("使用率"), QStringLiteral("usage"), VolumeDetailView::usagePercentText(v));
    switch (VolumeDetailView::capacityTint(v)) {
    case CapacityLevel::normal: setTextColor(percent, storage_style::accent(content)); break;
    case CapacityLevel::high: setTextColor(percent, storage_style::orange()); break;
    case CapacityLevel::critical: setTextColor(percent, storage_style::red()); break;
    }
    if (v.availableImportantUsage && *v.availableImportantUsage != v.availableCapacity) {
        cells.nextRow();
        cells.add(QStringLiteral("重要用途"), QStringLiteral("importantUsage"), display::formatBytes(*v.availableImportantUsage));
        if (v.availableOpportunisticUsage)
            cells.add(QStringLiteral("オポチュ"), QStringLiteral("opportunisticUsage"),
                      display::formatBytes(*v.availableOpportunisticUsage));
        cells.add(QStringLiteral("ブロック"), QStringLiteral("blockSize"), decimal(v.blockSize) + QStringLiteral(" B"));
        if (v.resourceCount)
            cells.add(QStringLiteral("リソース数"), QStringLiteral("resourceCount"), decimal(*v.resourceCount));
    }
    layout->addLayout(cells.grid());
    return box;
}

QWidget* buildAvailabilityCard(const StorageVolume& v, QWidget* content)
{
    const volumes::CompressionAvailabilityVerdict verdict(v);
    const QColor verdictTint = storage_style::tintColor(verdict.tint, content);
    auto [box, layout] = card(QStringLiteral("Kelvane で利用できますか？"),
                              QStringLiteral("shippingbox.and.arrow.backward.fill"), QStringLiteral("availability"),
                              content);
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
    layout->addWidget(panel);
    return box;
}

QWidget* buildHardwareCard(const volumes::DiskHardwareInfo& h, QWidget* content)
{
    auto [box, layout] = card(QStringLiteral("ハードウェア"), QStringLiteral("cpu.fill"), QStringLiteral("hardware"), content);
    auto* form = new FormGroup(content);
    form->setObjectName(QStringLiteral("hardwareForm"));
    const auto row = [form](const std::optional<std::string>& value, const char* label, const char* name,
                            bool selectable = false) {
        if (value)
            form->addTextRow(QString::fromUtf8(label), qs(*value), QString::fromLatin1(name), selectable);
    };
    row(h.deviceModel, "型番", "deviceModel", true);
    row(h.deviceVendor, "ベンダー", "deviceVendor");
    row(h.deviceProtocol, "接続", "deviceProtocol");
    row(h.deviceRevision, "ファームウェア", "deviceRevision");
    row(h.bsdName, "BSD 名", "bsdName");
    if (h.isSolidState)
        form->addTextRow(QStringLiteral("メディア"),
                         *h.isSolidState ? QStringLiteral("SSD（フラッシュ）") : QStringLiteral("HDD（回転）"),
                         QStringLiteral("media"));
    if (h.mediaSize)
        form->addTextRow(QStringLiteral("メディア容量"), display::formatBytes(*h.mediaSize), QStringLiteral("mediaSize"));
    if (h.mediaBlockSize)
        form->addTextRow(QStringLiteral("メディアブロックサイズ"), decimal(*h.mediaBlockSize) + QStringLiteral(" B"),
                         QStringLiteral("mediaBlockSize"));
    if (h.isWritable)
        form->addTextRow(QStringLiteral("書き込み可能"), yesNo(*h.isWritable), QStringLiteral("writable"));
    if (form->rowCount() == 0)
        form->setMinimumHeight(12);
    layout->addWidget(form);
    return box;
}

QWidget* buildFileSystemCard(const StorageVolume& v, QWidget* content)
{
    auto [box, layout] = card(QStringLiteral("ファイルシステム"), QStringLiteral("doc.on.doc.fill"),
                              QStringLiteral("fileSystem"), content);
    auto* form = new FormGroup(content);
    form->addTextRow(QStringLiteral("種別"), storage_style::typeText(v), QStringLiteral("fileSystemType"));
    if (v.kelvanefs) {
        form->addTextRow(QStringLiteral("kelvanefs"), storage_style::kelvanefsStateText(*v.kelvanefs),
                         QStringLiteral("kelvanefsState"));
        form->addTextRow(QStringLiteral("下のファイルシステム"), qs(v.fileSystemType).toUpper(),
                         QStringLiteral("belowFileSystemType"));
    }
    if (v.subtype)
        form->addTextRow(QStringLiteral("サブタイプ"), decimal(*v.subtype), QStringLiteral("subtype"));
    if (v.formatDescription)
        form->addTextRow(QStringLiteral("フォーマット"), qs(*v.formatDescription), QStringLiteral("format"));
    if (v.uuid)
        form->addTextRow(QStringLiteral("UUID"), qs(*v.uuid), QStringLiteral("uuid"), true);
    if (v.creationDate)
        form->addTextRow(QStringLiteral("作成日"), display::dateFormatter().string(*v.creationDate),
                         QStringLiteral("creationDate"));
    if (v.mountSource && !v.mountSource->empty())
        form->addTextRow(QStringLiteral("マウント元"), qs(*v.mountSource), QStringLiteral("mountSource"), true);
    form->addTextRow(QStringLiteral("クラスタ / ブロックサイズ"), decimal(v.blockSize) + QStringLiteral(" バイト"),
                     QStringLiteral("blockSize"));
    form->addTextRow(QStringLiteral("総ブロック数"), QLocale().toString(static_cast<qulonglong>(v.totalBlocks)),
                     QStringLiteral("totalBlocks"));
    if (v.maximumFileSize)
        form->addTextRow(QStringLiteral("最大ファイルサイズ"), display::formatBytes(*v.maximumFileSize),
                         QStringLiteral("maximumFileSize"));
    layout->addWidget(form);
    return box;
}

QWidget* buildMountCard(const StorageVolume& v, QWidget* content)
{
    struct MountRow {
        const char* label;
        const char* name;
        bool StorageVolume::*flag;
        const char* trueSymbol;
        const char* falseSymbol;
    };
    static const MountRow rows[] = {
        {"暗号化", "encrypted", &StorageVolume::isEncrypted, "checkmark.seal.fill", "circle"},
        {"内蔵", "internal", &StorageVolume::isInternal, "checkmark.circle.fill", "minus.circle"},
        {"リムーバブル", "removable", &StorageVolume::isRemovable, "checkmark.circle.fill", "minus.circle"},
        {"Eject 可能", "ejectable", &StorageVolume::isEjectable, "checkmark.circle.fill", "minus.circle"},
        {"自動マウント", "automounted", &StorageVolume::isAutomounted, "checkmark.circle.fill", "minus.circle"},
        {"ファイルマネージャに表示", "browsable", &StorageVolume::isBrowsable, "checkmark.circle.fill", "minus.circle"},
        {"ルート FS", "root", &StorageVolume::isRoot, "house.fill", "circle"},
    };
    auto [box, layout] = card(QStringLiteral("マウント状態"), QStringLiteral("externaldrive.connected.to.line.below.fill"),
                              QStringLiteral("mount"), content);
    auto* form = new FormGroup(content);
    // Read-only is the one warning among them.
    form->addRow(QStringLiteral("読み取り専用"),
                 boolValueLabel(v.isReadOnly, QStringLiteral("lock.fill"), QStringLiteral("lock.open.fill"),
                                storage_style::orange(), form),
                 QStringLiteral("readOnly"));
    for (const MountRow& row : rows)
        form->addRow(QString::fromUtf8(row.label),
                     boolValueLabel(v.*row.flag, QString::fromLatin1(row.trueSymbol), QString::fromLatin1(row.falseSymbol),
                                    storage_style::green(), form),
                     QString::fromLatin1(row.name));
    if (!v.mountFlags.empty())
        form->addTextRow(QStringLiteral("マウントフラグ"), VolumeDetailView::mountFlagsText(v.mountFlags),
                         QStringLiteral("mountFlags"));
    layout->addWidget(form);
    return box;
}

// The one capability Kelvane needs, in bold with its mark, across a group of its own.
QWidget* compressionHeadline(bool supported, QWidget* content)
{
    auto* headline = new FormGroup(content);
    auto [compression, row] = page::namedBox({}, QBoxLayout::LeftToRight, {0, 2, 0, 2}, 8);
    QLabel* text = textLabel(supported ? QStringLiteral("decmpfs 透過圧縮 — 対応") : QStringLiteral("decmpfs 透過圧縮 — 未対応"),
                             TextStyle::body, compression);
    QFont bold = text->font();
    bold.setBold(true);
    text->setFont(bold);
    text->setObjectName(QStringLiteral("compressionCapability"));
    const int size = QFontMetrics(storage_style::font(TextStyle::title3, content->font())).height();
    row->addWidget(supported
                       ? new SymbolView(QStringLiteral("checkmark.circle.fill"), storage_style::green(), size, compression)
                       : new SymbolView(QStringLiteral("xmark.circle.fill"), storage_style::red(), size, compression));
    row->addWidget(text);
    row->addStretch(1);
    headline->addWideRow(compression);
    return headline;
}

QWidget* buildCapabilitiesCard(const Capabilities& c, QWidget* content)
{
    auto [box, layout] = card(QStringLiteral("機能 / Capabilities"), QStringLiteral("checkmark.seal.fill"),
                              QStringLiteral("capabilities"), content);
    layout->addWidget(compressionHeadline(c.supportsCompression, content));
    for (const CapabilitySection& section : capabilitySections()) {
        auto [part, form] = page::formSection(QString::fromUtf8(section.title));
        for (const CapabilityRow& row : section.rows)
            form->addRow(QString::fromUtf8(row.label), capabilityMark(c.*row.flag, form), QString::fromLatin1(row.name));
        layout->addWidget(part);
    }
    return box;
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
    page->addLayout(buildHeader(volume_, content));
    page->addWidget(buildCapacityCard(volume_, content));
    page->addWidget(buildAvailabilityCard(volume_, content));
    if (volume_.hardware)
        page->addWidget(buildHardwareCard(*volume_.hardware, content));
    page->addWidget(buildFileSystemCard(volume_, content));
    page->addWidget(buildMountCard(volume_, content));
    page->addWidget(buildCapabilitiesCard(volume_.capabilities, content));
    page->addStretch(1);
    setWidget(content);
}

}  // namespace kelvane::ui
