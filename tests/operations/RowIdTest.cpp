// SPDX-License-Identifier: MIT
#include "operations/rows/DerivedAggregates.h"
#include "operations/rows/ItemKind.h"
#include "operations/rows/RowId.h"

#include "operations/folders/BookmarkUrlCache.h"
#include "store/RegisteredItem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <vector>

namespace kelvane::operations {
namespace {

TEST(RowId, EveryIdComesBackFromItsText)
{
    const ItemId item = ItemId::random();
    const RowId registered = RowId::registered(item);
    EXPECT_EQ(registered.toString(), "registered-" + item.toString());
    EXPECT_EQ(RowId::parse(registered.toString()), registered);

    // Paths that hold the separator, the other prefix, spaces and non-ASCII
    // text split after the fixed-length folder id, never inside the path.
    for (const char* path : {"/home/u/a-b-c.txt", "/x/registered-1/child-2-y", "/d/with space/ファイル.txt", "rel",
                             "/t/-"}) {
        const RowId child = RowId::child(item, path);
        EXPECT_EQ(child.toString(), "child-" + item.toString() + "-" + path);
        const auto back = RowId::parse(child.toString());
        ASSERT_TRUE(back) << path;
        EXPECT_EQ(*back, child) << path;
        EXPECT_EQ(back->path, std::filesystem::path(path));
    }
    EXPECT_EQ(RowId::childPrefix(item) + "/p", RowId::child(item, "/p").toString());

    // An id written in lower case names the same item.
    std::string lower = registered.toString();
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    ASSERT_TRUE(RowId::parse(lower));
    EXPECT_EQ(RowId::parse(lower)->itemID, item);
}

TEST(RowId, AnyOtherTextIsNoId)
{
    const std::string uuid = ItemId::random().toString();
    for (const std::string& text : std::vector<std::string>{std::string(), std::string("registered-"), "registered-" + uuid + "x", "registered-" + uuid.substr(1),
          "Registered-" + uuid, "child-" + uuid, "child-" + uuid + "/no-separator", "child-" + uuid.substr(1) + "-/p",
          "child-ZZZZZZZZ-ZZZZ-ZZZZ-ZZZZ-ZZZZZZZZZZZZ-/p", "folder-" + uuid, uuid})
        EXPECT_FALSE(RowId::parse(text)) << text;
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
