// SPDX-License-Identifier: MIT
#include "ui/common/TableCells.h"

#include "display/Formatters.h"
#include "operations/rows/FileAttributes.h"
#include "ui/common/VisibleName.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace kelvane::ui {

using operations::DisplayRow;
using operations::FileStatusEntry;
using operations::FolderAggregate;

namespace {

struct ColumnSpec {
    const char* title;
    int minimum;
    int ideal;
    int maximum;  // 0: none
    bool hideable;
    bool hidden;
    bool sortable;
};

constexpr std::array<ColumnSpec, mainColumnCount> columns{{
    {"名前", 180, 280, 0, false, false, true},
    {"場所", 120, 220, 500, true, true, true},
    {"種類", 60, 80, 110, true, false, true},
    {"状態", 80, 110, 150, true, false, true},
    {"元サイズ", 70, 90, 120, true, false, true},
    {"物理", 70, 90, 120, true, false, true},
    {"比率", 80, 110, 140, true, false, true},
    {"期待度", 60, 100, 130, true, false, true},
    {"最終更新", 110, 140, 200, true, false, true},
    {"操作", 0, 0, 0, false, false, false},  // measured from its buttons (ActionCell::columnBounds)
}};

const ColumnSpec& columnSpec(MainColumn column) { return columns[static_cast<std::size_t>(column)]; }

CellContent placeholder()
{
    CellContent c;
    c.text = QStringLiteral("—");
    return c;
}

CellContent bytesCell(std::uint64_t bytes, Tone tone = Tone::secondary)
{
    CellContent c;
    c.text = display::formatBytes(display::signedByteCount(bytes));
    c.toolTip = display::formatExactBytes(display::signedByteCount(bytes));
    c.tone = tone;
    c.monospacedDigits = true;
    return c;
}

CellContent textCell(QString text, Tone tone = Tone::secondary)
{
    CellContent c;
    c.text = std::move(text);
    c.tone = tone;
    return c;
}

CellContent spinnerCell()
{
    CellContent c;
    c.spinner = true;
    return c;
}

CellContent fileStatus(const FileStatusEntry& entry)
{
    using S = engine::FileCompressionStatus;
    if (entry.as<FileStatusEntry::unserved>()) {
        CellContent c = textCell(QStringLiteral("⚠ 未マウント"), Tone::warning);
        c.toolTip = QStringLiteral("クリックで詳細を表示");
        c.clickable = true;
        return c;
    }
    if (const auto* info = entry.info()) {
        if (info->status.as<S::compressed>())
            return textCell(QStringLiteral("● 圧縮済み"));
        if (info->status.as<S::uncompressed>())
            return textCell(QStringLiteral("○ 未圧縮"));
        if (info->status.as<S::incompressible>()) {
            CellContent c = textCell(QStringLiteral("◌ 圧縮不可"));
            c.toolTip = TableCells::incompressibleExplanation();
            return c;
        }
        CellContent c = textCell(QStringLiteral("クラウド退避中"), Tone::cloud);
        c.symbol = QStringLiteral("icloud.and.arrow.down");
        c.toolTip = QStringLiteral("クリックで詳細を表示");
        c.clickable = true;
        return c;
    }
    if (entry.as<FileStatusEntry::notFound>()) {
        CellContent c = textCell(QStringLiteral("⚠ 見つからない"), Tone::warning);
        c.toolTip = QStringLiteral("クリックで詳細を表示");
        c.clickable = true;
        return c;
    }
    if (const auto* failed = entry.as<FileStatusEntry::error>()) {
        CellContent c = textCell(QStringLiteral("⚠ エラー"), Tone::warning);
        c.toolTip = QString::fromStdString(failed->text);
        c.clickable = true;
        return c;
    }
    return spinnerCell();
}

CellContent folderStatus(const DisplayRow& row)
{
    if (!row.folderAggregate)
        return spinnerCell();
    const FolderAggregate& a = *row.folderAggregate;
    if (a.totalCount < 1)
        return placeholder();
    // Files no mount serves put the folder in the warning's colour.
    CellContent c = a.unservedCount >= 1
                        ? textCell(QStringLiteral("⚠ %1 / %2").arg(a.compressedCount).arg(a.totalCount), Tone::warning)
                        : textCell(QStringLiteral("%1 / %2").arg(a.compressedCount).arg(a.totalCount));
    c.spinner = a.classifiedCount() < a.totalCount;
    c.monospacedDigits = true;
    c.toolTip = TableCells::folderStatusToolTip(a);
    return c;
}

CellContent ratioCell(double ratio, display::RatioDisplayMode mode)
{
    CellContent c = textCell(mode.format(ratio));
    c.monospacedDigits = true;
    return c;
}

}  // namespace

QString TableCells::columnTitle(MainColumn column) { return QString::fromUtf8(columnSpec(column).title); }
bool TableCells::canHide(MainColumn column) { return columnSpec(column).hideable; }
bool TableCells::hiddenByDefault(MainColumn column) { return columnSpec(column).hidden; }
bool TableCells::sortable(MainColumn column) { return columnSpec(column).sortable; }
int TableCells::idealWidth(MainColumn column) { return columnSpec(column).ideal; }
int TableCells::minimumWidth(MainColumn column) { return columnSpec(column).minimum; }
int TableCells::maximumWidth(MainColumn column) { return columnSpec(column).maximum; }

QString TableCells::starText(int stars)
{
    const int n = std::clamp(stars, 0, 5);
    return QString(n, QChar(0x2605)) + QString(5 - n, QChar(0x2606));
}

QString TableCells::folderStatusToolTip(const FolderAggregate& a)
{
    QStringList lines;
    lines << QStringLiteral("圧縮済み: %1 件").arg(a.compressedCount);
    lines << QStringLiteral("未圧縮: %1 件").arg(a.uncompressedCount);
    if (a.datalessCount >= 1)
        lines << QStringLiteral("クラウド退避: %1 件").arg(a.datalessCount);
    if (a.unservedCount >= 1)
        lines << QStringLiteral("未マウント: %1 件（他のアプリから元のデータで読めません）").arg(a.unservedCount);
    if (a.errorCount >= 1)
        lines << QStringLiteral("エラー: %1 件").arg(a.errorCount);
    if (a.classifiedCount() < a.totalCount)
        lines << QStringLiteral("（計測中…）");
    return lines.join(QLatin1Char('\n'));
}

QString TableCells::folderStarsToolTip(const FolderAggregate& a)
{
    QStringList lines{QStringLiteral("配下ファイルの期待度（加重平均）")};
    for (int level = 5; level >= 0; --level) {
        const auto found = a.starsHistogram.find(level);
        if (found != a.starsHistogram.end() && found->second >= 1)
            lines << starText(level) + QStringLiteral(": %1 件").arg(found->second);
    }
    return lines.join(QLatin1Char('\n'));
}

QString TableCells::incompressibleExplanation()
{
    return QStringLiteral(
        "圧縮対象外: LZFSE で縮まない / ハードリンク / 4 KB 未満 / 通常ファイルでない、のいずれかに該当します。\n\n対処:\n"
        "・既に縮まないフォーマット（画像 / 動画 / .zip 等の圧縮済みフォーマット、または 4 KB 未満の極小ファイル）"
        "はこの状態が正常です。そのままで OK です。\n"
        "・ハードリンクの場合は、リンク先の本体ファイルを直接登録すると圧縮できます。\n"
        "・シンボリックリンクは登録対象から外し、リンク先を直接登録してください。");
}

QString TableCells::notFoundText(const DisplayRow& row)
{
    return QStringLiteral("ファイルが見つかりません。\nパス: ") + visibleName(row.url) +
           QStringLiteral("\n\n移動 / 削除された可能性があります。");
}

QString TableCells::datalessExplanation()
{
    // Worded for this desktop: no platform feature name, the file manager
    // instead of the other platform's one.
    return QStringLiteral(
        "このファイルは Dropbox / iCloud Drive / OneDrive 等のクラウドサービスにより、本体データがローカルから退避されています。\n\n"
        "本体データがローカルに無いため、Kelvane では圧縮 / 解除を実行できません。\n\n"
        "ローカルに戻すには、ファイルマネージャでファイルを右クリックし「今すぐダウンロード」を選ぶか、ファイルを開いてください。");
}

QString TableCells::unservedText(const FileStatusEntry::unserved& unserved,
                                 const std::optional<operations::MountRefusal>& refusal)
{
    using State = platform::MountService::State;
    const QString point = visibleName(unserved.mountPoint);
    QString text;
    switch (unserved.state) {
    case State::dead:
        text = QStringLiteral("kelvanefs のマウント（%1）が応答しません（kelvanefs が終了しています）。\n"
                              "このフォルダのファイルは、どのアプリからも読めません。")
                   .arg(point);
        break;
    case State::unreachable:
        text = QStringLiteral("kelvanefs のマウント（%1）のソケットがなく、Kelvane から中のファイルに届きません。").arg(point);
        break;
    case State::noMount:
    case State::served:
        text = QStringLiteral("このファイルは圧縮済みですが、kelvanefs のマウントがない場所にあります。\n"
                              "他のアプリからは元のデータではなく、圧縮された形で読まれます。");
        break;
    }
    if (refusal)
        text += QStringLiteral("\n\nマウントできなかった理由: ") + visibleName(refusal->text());
    return text + QStringLiteral("\n\n対処: 「マウント」を押すと、このフォルダを kelvanefs でマウントし直します。");
}

QString TableCells::refusedText(const operations::MountRefusal& refusal)
{
    return QStringLiteral("このフォルダを kelvanefs でマウントできないため、ここのファイルは圧縮しません"
                          "（圧縮すると、他のアプリが元のデータを読めなくなります）。\n\n理由: ") +
           visibleName(refusal.text()) + QStringLiteral("\n\n対処: 「マウント」を押すと、もう一度マウントを試します。");
}

std::optional<StatusDetail> TableCells::statusDetail(const DisplayRow& row, const FileStatusEntry& entry,
                                                     const std::optional<operations::MountRefusal>& refusal)
{
    // A folder, or a plain file, of an item no mount could be made for says
    // why nothing there is compressed (a missing one is said as missing).
    const bool plain = !entry.info() || entry.info()->status.kind() != engine::FileCompressionStatus::Kind::compressed;
    const bool said = entry.as<FileStatusEntry::unserved>() || entry.as<FileStatusEntry::notFound>() ||
                      entry.as<FileStatusEntry::error>();
    if (refusal && refusal->kind != operations::MountRefusal::Kind::folderMissing && plain && !said)
        return StatusDetail{StatusDetail::Kind::unserved, refusedText(*refusal)};
    if (row.kind != DisplayRow::DisplayKind::file)
        return std::nullopt;
    if (const auto* unserved = entry.as<FileStatusEntry::unserved>())
        return StatusDetail{StatusDetail::Kind::unserved, unservedText(*unserved, refusal)};
    if (const auto* info = entry.info()) {
        if (info->status.as<engine::FileCompressionStatus::datalessCloud>())
            return StatusDetail{StatusDetail::Kind::datalessCloud, {}};
        return std::nullopt;
    }
    if (entry.as<FileStatusEntry::notFound>())
        return StatusDetail{StatusDetail::Kind::error, notFoundText(row)};
    if (const auto* failed = entry.as<FileStatusEntry::error>())
        return StatusDetail{StatusDetail::Kind::error, QString::fromStdString(failed->text)};
    return std::nullopt;
}

CellContent TableCells::content(MainColumn column, const DisplayRow& row, const FileStatusEntry& entry,
                                display::RatioDisplayMode mode)
{
    const bool isFolder = row.kind == DisplayRow::DisplayKind::folder;
    const FolderAggregate* aggregate = row.folderAggregate ? &*row.folderAggregate : nullptr;
    switch (column) {
    case MainColumn::name: {
        CellContent c = textCell(visibleName(row.displayName), Tone::primary);
        c.elide = Qt::ElideMiddle;
        return c;
    }
    case MainColumn::path: {
        const QString path = visibleName(row.displayParentPath());
        CellContent c = textCell(path);
        c.toolTip = path;
        c.elide = Qt::ElideLeft;
        return c;
    }
    case MainColumn::kind:
        return textCell(isFolder ? QStringLiteral("フォルダ") : QStringLiteral("ファイル"));
    case MainColumn::status:
        return isFolder ? folderStatus(row) : fileStatus(entry);
    case MainColumn::logicalSize:
        if (isFolder)
            return aggregate && aggregate->totalLogical != 0 ? bytesCell(aggregate->totalLogical) : placeholder();
        return row.logicalSize ? bytesCell(*row.logicalSize) : placeholder();
    case MainColumn::physicalSize:
        if (isFolder) {
            if (!aggregate || aggregate->totalCount < 1)
                return placeholder();
            return bytesCell(aggregate->totalPhysical,
                             aggregate->totalPhysical < aggregate->totalLogical ? Tone::tint : Tone::secondary);
        }
        if (const auto* info = entry.info())
            return bytesCell(info->physicalSize, info->physicalSize < info->logicalSize ? Tone::tint : Tone::secondary);
        return placeholder();
    case MainColumn::ratio:
        if (isFolder) {
            if (!aggregate || aggregate->totalLogical == 0)
                return placeholder();
            return ratioCell(static_cast<double>(aggregate->totalPhysical) /
                                 static_cast<double>(aggregate->totalLogical),
                             mode);
        }
        if (const auto* info = entry.info();
            info && info->status.as<engine::FileCompressionStatus::compressed>() && info->logicalSize != 0)
            return ratioCell(static_cast<double>(info->physicalSize) / static_cast<double>(info->logicalSize), mode);
        return placeholder();
    case MainColumn::stars: {
        if (isFolder) {
            const std::optional<int> average = aggregate ? aggregate->averageStars() : std::nullopt;
            if (!average)
                return placeholder();
            CellContent c = textCell(starText(*average));
            c.toolTip = folderStarsToolTip(*aggregate);
            return c;
        }
        CellContent c = textCell(starText(row.stars));
        const operations::ExtensionExpectation expectation = operations::extensionExpectation(row.url);
        c.toolTip = QString::fromUtf8(expectation.categoryName) + QStringLiteral(" — ") +
                    QString::fromUtf8(expectation.expectedRatio);
        return c;
    }
    case MainColumn::mtime: {
        if (!row.mtime)
            return placeholder();
        CellContent c = textCell(display::dateTimeFormatter().string(*row.mtime));
        c.monospacedDigits = true;
        return c;
    }
    case MainColumn::action:
        return {};
    }
    return placeholder();
}

}  // namespace kelvane::ui
