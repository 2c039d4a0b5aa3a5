// SPDX-License-Identifier: MIT
#include "ui/common/TableCells.h"

#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"

#include "support/DisplayRows.h"
#include "support/DisplayRows.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QTextDocument>

#include <limits>

namespace kelvane::ui {
namespace {

using engine::FileCompressionInfo;
using engine::FileCompressionStatus;
using operations::DisplayRow;
using operations::FileStatusEntry;
using operations::FolderAggregate;
using Mode = display::RatioDisplayMode;

FileStatusEntry loaded(FileCompressionStatus status, std::uint64_t logical, std::uint64_t physical)
{
    return FileStatusEntry::loaded{FileCompressionInfo{status, logical, physical}};
}

CellContent cell(MainColumn column, const DisplayRow& row, const FileStatusEntry& entry = {},
                 Mode mode = Mode::remaining)
{
    return TableCells::content(column, row, entry, mode);
}

DisplayRow fileRow(const char* name = "report.txt")
{
    DisplayRow row;
    row.id = test::rowId("r");
    row.displayName = name;
    row.url = std::string("/data/") + name;
    row.logicalSize = 10000;
    return row;
}

TEST(TableCellsTest, FileFiguresFollowTheInspection)
{
    const DisplayRow row = fileRow();
    // Not inspected yet: the size from the row, the rest unknown.
    EXPECT_EQ(cell(MainColumn::logicalSize, row).text, "10 KB");
    EXPECT_EQ(cell(MainColumn::logicalSize, row).toolTip, "10,000 Bytes");
    EXPECT_EQ(cell(MainColumn::physicalSize, row).text, "—");
    EXPECT_EQ(cell(MainColumn::ratio, row).text, "—");
    EXPECT_TRUE(cell(MainColumn::status, row).spinner);

    const FileStatusEntry compressed = loaded(FileCompressionStatus::compressed{}, 10000, 4096);
    const CellContent physical = cell(MainColumn::physicalSize, row, compressed);
    EXPECT_EQ(physical.toolTip, "4,096 Bytes");
    EXPECT_EQ(physical.tone, Tone::tint);
    EXPECT_EQ(cell(MainColumn::ratio, row, compressed).text, "原本の 41%");
    EXPECT_EQ(cell(MainColumn::ratio, row, compressed, Mode::reduction).text, "59% 削減");
    EXPECT_EQ(cell(MainColumn::status, row, compressed).text, "● 圧縮済み");

    const FileStatusEntry plain = loaded(FileCompressionStatus::uncompressed{}, 10000, 12288);
    EXPECT_EQ(cell(MainColumn::physicalSize, row, plain).tone, Tone::secondary);
    EXPECT_EQ(cell(MainColumn::ratio, row, plain).text, "—");
    EXPECT_EQ(cell(MainColumn::ratio, row, loaded(FileCompressionStatus::compressed{}, 0, 0)).text, "—");

    // Failures are buttons that explain themselves.
    const CellContent missing = cell(MainColumn::status, row, FileStatusEntry::notFound{});
    EXPECT_EQ(missing.text, "⚠ 見つからない");
    EXPECT_TRUE(missing.clickable);
    const CellContent failed = cell(MainColumn::status, row, FileStatusEntry::error{"decmpfs ヘッダが不正: x"});
    EXPECT_EQ(failed.toolTip, "decmpfs ヘッダが不正: x");
    EXPECT_EQ(TableCells::statusDetail(row, FileStatusEntry::notFound{})->reason,
              "ファイルが見つかりません。\nパス: /data/report.txt\n\n移動 / 削除された可能性があります。");
    EXPECT_FALSE(TableCells::statusDetail(row, plain));
    EXPECT_EQ(TableCells::statusDetail(row, loaded(FileCompressionStatus::datalessCloud{}, 1, 0))->kind,
              StatusDetail::Kind::datalessCloud);
    // An evicted file shows the cloud symbol before its words; other states have none.
    const CellContent evicted = cell(MainColumn::status, row, loaded(FileCompressionStatus::datalessCloud{}, 1, 0));
    EXPECT_EQ(evicted.text, "クラウド退避中");
    EXPECT_EQ(evicted.symbol, "icloud.and.arrow.down");
    EXPECT_TRUE(isKnownSymbol(evicted.symbol));
    EXPECT_TRUE(cell(MainColumn::status, row, compressed).symbol.isEmpty());
}

TEST(TableCellsTest, HugeSizesAndOutOfRangeStarsAreClamped)
{
    DisplayRow row = fileRow();
    row.logicalSize = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(cell(MainColumn::logicalSize, row).toolTip, "9,223,372,036,854,775,807 Bytes");
    row.stars = 7;
    EXPECT_EQ(cell(MainColumn::stars, row).text, "★★★★★");
    row.stars = -1;
    EXPECT_EQ(cell(MainColumn::stars, row).text, "☆☆☆☆☆");
    EXPECT_EQ(cell(MainColumn::stars, row).toolTip, "テキスト系 — 60〜90% 圧縮されます");
}

TEST(TableCellsTest, FolderRowsShowTheirAggregate)
{
    DisplayRow folder;
    folder.id = operations::RowId::registered({});
    folder.kind = DisplayRow::DisplayKind::folder;
    folder.url = "/data/folder";
    EXPECT_TRUE(cell(MainColumn::status, folder).spinner);  // not computed yet
    EXPECT_EQ(cell(MainColumn::stars, folder).text, "—");

    FolderAggregate a;
    folder.folderAggregate = a;
    EXPECT_EQ(cell(MainColumn::status, folder).text, "—");
    EXPECT_EQ(cell(MainColumn::physicalSize, folder).text, "—");

    a.totalCount = 10;
    a.uncompressedCount = 3;
    a.totalLogical = 100;
    a.totalPhysical = 100;
    a.starsHistogram = {{5, 3}, {2, 1}};
    folder.folderAggregate = a;
    const CellContent status = cell(MainColumn::status, folder);
    EXPECT_EQ(status.text, "0 / 10");
    EXPECT_TRUE(status.spinner);
    EXPECT_EQ(status.toolTip, "圧縮済み: 0 件\n未圧縮: 3 件\n（計測中…）");
    EXPECT_EQ(cell(MainColumn::stars, folder).text, "★★★★☆");
    EXPECT_EQ(cell(MainColumn::stars, folder).toolTip,
              "配下ファイルの期待度（加重平均）\n★★★★★: 3 件\n★★☆☆☆: 1 件");

    a.uncompressedCount = 7;
    a.compressedCount = 2;
    a.errorCount = 1;
    folder.folderAggregate = a;
    EXPECT_FALSE(cell(MainColumn::status, folder).spinner);
    EXPECT_EQ(cell(MainColumn::status, folder).toolTip, "圧縮済み: 2 件\n未圧縮: 7 件\nエラー: 1 件");

    // All files empty: no logical size or ratio, but a physical size.
    a.totalLogical = 0;
    a.totalPhysical = 0;
    folder.folderAggregate = a;
    EXPECT_EQ(cell(MainColumn::logicalSize, folder).text, "—");
    EXPECT_EQ(cell(MainColumn::ratio, folder).text, "—");
    EXPECT_EQ(cell(MainColumn::physicalSize, folder).text, "0 B");
}

TEST(TableCellsTest, NamesAndPathsAreShortenedWhereTheyMeanTheLeast)
{
    const DisplayRow row = fileRow("<b>x<i>.txt");
    EXPECT_EQ(cell(MainColumn::name, row).text, "<b>x<i>.txt");
    EXPECT_EQ(cell(MainColumn::name, row).elide, Qt::ElideMiddle);
    EXPECT_EQ(cell(MainColumn::path, row).elide, Qt::ElideLeft);
    EXPECT_EQ(cell(MainColumn::path, row).toolTip, "/data");
}

TEST(TableCellsTest, AShortenedLabelsTooltipShowsTheNameAsTyped)
{
    test::widgetApplication();
    const QString name = QStringLiteral("<b>x<i> ") + QString(60, u'n') + QStringLiteral(".txt");
    ElidedLabel label(Qt::ElideMiddle);
    label.setText(name);
    label.resize(120, 20);
    label.grab();  // the tooltip is set as the label paints
    ASSERT_NE(label.shownText(), name);
    // A tooltip renders what looks like markup as rich text.
    const QString tip = label.toolTip();
    ASSERT_FALSE(tip.isEmpty());
    QTextDocument shown;
    if (Qt::mightBeRichText(tip))
        shown.setHtml(tip);
    else
        shown.setPlainText(tip);
    EXPECT_EQ(shown.toPlainText().toStdString(), name.toStdString());
    EXPECT_EQ(plainToolTip(QStringLiteral("12,345 Bytes")), QStringLiteral("12,345 Bytes"));
}

}  // namespace
}  // namespace kelvane::ui
