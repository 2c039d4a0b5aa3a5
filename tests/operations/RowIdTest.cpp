// SPDX-License-Identifier: MIT
#include "operations/rows/DerivedAggregates.h"
#include "operations/rows/RegisteredItemKind.h"
#include "operations/rows/RowId.h"

#include "operations/folders/BookmarkUrlCache.h"
#include "store/RegisteredItem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <unordered_set>
#include <vector>

namespace kelvane::operations {
namespace {

// A child's text keeps its path whole after the fixed-length folder id, so
// two files of one folder never share an id, whatever their names hold.
TEST(RowId, EveryIdSpellsItsItemAndPath)
{
    const ItemId item = ItemId::random();
    EXPECT_EQ(RowId::registered(item).toString(), "registered-" + item.toString());
    for (const char* path : {"/home/u/a-b-c.txt", "/x/registered-1/child-2-y", "/d/with space/ファイル.txt", "rel",
                             "/t/-"})
        EXPECT_EQ(RowId::child(item, path).toString(), "child-" + item.toString() + "-" + path);
    EXPECT_NE(RowId::child(item, "/a-b").toString(), RowId::child(item, "/a").toString());
}

// As a key, an id is its kind, its item and its path as spelled: paths that
// name one file in two spellings are two rows, as the listing gave them.
TEST(RowId, KeysDifferByKindItemAndSpelling)
{
    const ItemId item = ItemId::random();
    const ItemId other = ItemId::random();
    const std::vector<RowId> distinct = {RowId::registered(item), RowId::registered(other), RowId::child(item, ""),
                                         RowId::child(item, "/d/a"), RowId::child(other, "/d/a"),
                                         RowId::child(item, "/d//a"), RowId::child(item, "/d/a/"),
                                         RowId::child(item, "/d/b")};
    std::set<RowId> ordered(distinct.begin(), distinct.end());
    std::unordered_set<RowId> hashed(distinct.begin(), distinct.end());
    EXPECT_EQ(ordered.size(), distinct.size());
    EXPECT_EQ(hashed.size(), distinct.size());
    for (const RowId& id : distinct) {
        const RowId copy = id.isChild() ? RowId::child(id.itemID, id.path.string()) : RowId::registered(id.itemID);
        EXPECT_EQ(copy, id);
        EXPECT_EQ(std::hash<RowId>{}(copy), std::hash<RowId>{}(id));
        EXPECT_TRUE(hashed.contains(copy));
        EXPECT_TRUE(ordered.contains(copy));
    }
}

TEST(ItemKindAboveTheStore, AnUnknownKindTextIsNeitherAFileNorAFolder)
{
    const auto now = std::chrono::system_clock::now();
    const store::RegisteredItem file(ItemId::random(), {1}, "file", false, now, "a.txt");
    const store::RegisteredItem folder(ItemId::random(), {1}, "folder", true, now, "Docs");
    const store::RegisteredItem other(ItemId::random(), {1}, "Folder", true, now, "b.txt");
    EXPECT_EQ(itemKindOf(file), ItemKind::file);
    EXPECT_EQ(itemKindOf(folder), ItemKind::folder);
    EXPECT_EQ(itemKindOf(other), std::nullopt);

    // The table keeps such an item as a plain row: not a folder with files,
    // shown among "全て" only, never rated as a file.
    BookmarkUrlCache urls;
    DerivedAggregates::Input input;
    input.topItems = {TopItemRef::make(file, urls), TopItemRef::make(folder, urls), TopItemRef::make(other, urls)};
    EXPECT_EQ(input.topItems[2].kind, std::nullopt);
    EXPECT_EQ(input.topItems[2].stars, 0);
    const auto names = [&](KindFilter filter) {
        input.kindFilter = filter;
        std::vector<std::string> shown;
        for (const DisplayRow& row : DerivedAggregates::compute(input).rows)
            shown.push_back(row.displayName + (row.kind == ItemKind::folder ? "/" : ""));
        return shown;
    };
    EXPECT_EQ(names(KindFilter::all), (std::vector<std::string>{"a.txt", "Docs/", "b.txt"}));
    EXPECT_EQ(names(KindFilter::file), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(names(KindFilter::folder), (std::vector<std::string>{"Docs/"}));
}

}  // namespace
}  // namespace kelvane::operations
