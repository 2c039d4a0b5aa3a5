// SPDX-License-Identifier: MIT
#include "operations/rows/BulkSelection.h"

#include "support/DisplayRows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kelvane::operations::test {
namespace {

using Kind = ActiveOperation::Kind;
using engine::FileCompressionInfo;
using engine::FileCompressionStatus;

using kelvane::test::fileRow;
using kelvane::test::loaded;

TEST(BulkSelectionTest, CountsFollowTheSizeBoundsAndTheRunTakesEachFileOnce)
{
    BulkSelection::Entries entries;
    std::vector<DisplayRow> files;
    for (std::uint64_t size : {4095ULL, 4096ULL, 2147483647ULL, 2147483648ULL}) {
        DisplayRow row = fileRow();
        row.url = "/d/f" + std::to_string(size);
        row.id = RowId::child({}, row.url);
        entries[row.id] = loaded(FileCompressionStatus::uncompressed{}, size);
        files.push_back(row);
    }
    EXPECT_EQ(BulkSelection::statistics(files, {}, entries), (SelectionStatistics{2, 0, 1}));
    const auto taken = BulkSelection::candidates(Kind::compress, files, {}, entries);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].url, "/d/f4096");
    EXPECT_EQ(taken[1].url, "/d/f2147483647");

    // Not inspected: judged by the row's flag and size.
    DisplayRow flagged = fileRow();
    flagged.id = kelvane::test::rowId("flagged");
    flagged.isCompressed = false;
    DisplayRow unknown = fileRow();
    unknown.id = kelvane::test::rowId("unknown");
    unknown.url = "/d/unknown";
    EXPECT_EQ(BulkSelection::statistics({flagged, unknown}, {}, {}), (SelectionStatistics{1, 0, 0}));
    EXPECT_EQ(BulkSelection::candidates(Kind::compress, {flagged, unknown}, {}, {}).size(), 1u);
    EXPECT_TRUE(BulkSelection::candidates(Kind::decompress, {flagged, unknown}, {}, {}).empty());

    // A folder and one of its files: counted twice, taken once, where it first came.
    const store::Uuid id = store::Uuid::random();
    DisplayRow folder;
    folder.id = RowId::registered(id);
    folder.kind = DisplayRow::DisplayKind::folder;
    folder.registeredItemID = id;
    DisplayRow inside = fileRow();
    inside.id = kelvane::test::rowId("inside");
    inside.url = "/d/x/../inside";  // the same file as "/d/inside"
    DisplayRow direct = inside;
    direct.url = "/d/inside";
    entries[kelvane::test::rowId("inside")] = loaded(FileCompressionStatus::compressed{}, 9000);
    BulkSelection::Aggregates aggregates;
    aggregates[id].compressedCount = 1;
    BulkSelection::FolderChildren children;
    children[id] = std::make_shared<const std::vector<DisplayRow>>(std::vector<DisplayRow>{inside});
    EXPECT_EQ(BulkSelection::statistics({folder, direct}, aggregates, entries), (SelectionStatistics{0, 2, 0}));
    const auto once = BulkSelection::candidates(Kind::decompress, {folder, direct}, children, entries);
    ASSERT_EQ(once.size(), 1u);
    EXPECT_EQ(once[0].url, std::filesystem::path("/d/x/../inside"));
    // Files of a folder not yet inspected are never taken.
    EXPECT_TRUE(BulkSelection::candidates(Kind::decompress, {folder}, children, {}).empty());
}

}  // namespace
}  // namespace kelvane::operations::test
