// SPDX-License-Identifier: MIT
#include "operations/rows/DerivedAggregates.h"
#include "operations/rows/FolderAggregation.h"

#include "operations/folders/BookmarkUrlCache.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/windows/MainWindowModel.h"
#include "store/RegisteredItem.h"

#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

namespace kelvane::operations {
namespace {

namespace fs = std::filesystem;
using engine::CompressionType;
using engine::FileCompressionInfo;
using engine::FileCompressionStatus;
using Key = DisplayRowComparator::Key;
using Order = DisplayRowComparator::Order;

FileStatusEntry loaded(FileCompressionStatus status, std::uint64_t logical, std::uint64_t physical)
{
    return FileStatusEntry::loaded{FileCompressionInfo{status, logical, physical}};
}
FileStatusEntry compressed(std::uint64_t logical, std::uint64_t physical)
{
    return loaded(FileCompressionStatus::compressed{CompressionType::lzfseRsrc, logical}, logical, physical);
}
FileStatusEntry uncompressed(std::uint64_t logical) { return loaded(FileCompressionStatus::uncompressed{}, logical, logical); }

// A table of a few thousand rows: two loaded folders, one not loaded, and
// top-level files of every kind of state.
struct Table {
    DerivedAggregates::Input input;
    DerivedAggregates::EntryMap entries;
    store::Uuid photos = store::Uuid::random();
    store::Uuid code = store::Uuid::random();
    store::Uuid notLoaded = store::Uuid::random();

    Table()
    {
        addItem(photos, ItemKind::folder, "Photos", "/data/Photos", 0);
        addItem(code, ItemKind::folder, "Code", "/data/Code", 0);
        addItem(notLoaded, ItemKind::folder, "Later", "/data/Later", 0);

        auto photoRows = std::make_shared<std::vector<DisplayRow>>();
        for (int i = 0; i < 1500; ++i) {
            DisplayRow row = child(photos, "/data/Photos/img" + std::to_string(i) + ".jpg", 1);
            if (i % 3 == 0)
                entries[row.id] = compressed(2000000, 500000);  // medium
            else if (i % 3 == 1)
                entries[row.id] = uncompressed(50000);
            // every third: not inspected, size known from the listing
            row.logicalSize = 8000;
            row.isCompressed = false;
            photoRows->push_back(row);
        }
        auto codeRows = std::make_shared<std::vector<DisplayRow>>();
        for (int i = 0; i < 1000; ++i) {
            DisplayRow row = child(code, "/data/Code/src" + std::to_string(i) + ".swift", 5);
            entries[row.id] = i < 10 ? FileStatusEntry(FileStatusEntry::error{"読めません"}) : uncompressed(4000 + i);
            codeRows->push_back(row);
        }
        input.children[photos] = photoRows;
        input.children[code] = codeRows;

        for (int i = 0; i < 500; ++i) {
            static const char* extensions[] = {".txt", ".jpg", ".psd", ".pdf", ""};
            const std::string name = "file" + std::to_string(i) + extensions[i % 5];
            const store::Uuid id = store::Uuid::random();
            addItem(id, ItemKind::file, name, "/data/top/" + name, i % 5 == 4 ? 0 : 1);
            const RowId rowID = RowId::registered(id);
            switch (i % 4) {
                case 0: entries[rowID] = compressed(10000, 4000); break;
                case 1: entries[rowID] = uncompressed(20000000); break;
                case 2: entries[rowID] = FileStatusEntry::notFound{}; break;
                case 3: break;  // not inspected
            }
        }
        input.entries = std::make_shared<DerivedAggregates::EntryMap>(entries);
    }

    void addItem(const store::Uuid& id, ItemKind kind, const std::string& name, const std::string& path,
                 int stars)
    {
        input.topItems.push_back({RowId::registered(id), id, kind, name, path, stars});
    }
    static DisplayRow child(const store::Uuid& folder, const std::string& path, int stars)
    {
        DisplayRow row;
        row.id = RowId::child(folder, path);
        row.displayName = fs::path(path).filename().string();
        row.url = path;
        row.stars = stars;
        return row;
    }
    DerivedAggregates::Result compute() const { return DerivedAggregates::compute(input); }
};

const DisplayRow* find(const std::vector<DisplayRow>& rows, const std::string& name)
{
    for (const DisplayRow& row : rows)
        if (row.displayName == name)
            return &row;
    return nullptr;
}

TEST(DerivedAggregates, UnfilteredTableShowsEverythingSortedWithSharedChildren)
{
    Table t;
    t.input.sortOrder = {{Key::displayName, Order::forward}};
    const auto result = t.compute();
    ASSERT_EQ(result.rows.size(), 503u);
    // Names in reading order: digits by value, case ignored.
    EXPECT_EQ(result.rows[0].displayName, "Code");
    const DisplayRow* f2 = find(result.rows, "file2.psd");
    const DisplayRow* f10 = find(result.rows, "file10.txt");
    EXPECT_LT(f2, f10);

    const DisplayRow* photos = find(result.rows, "Photos");
    ASSERT_TRUE(photos && photos->children);
    EXPECT_EQ(photos->children.get(), t.input.children.at(t.photos).get());
    EXPECT_EQ(photos->registeredItemID, t.photos);
    const DisplayRow* later = find(result.rows, "Later");
    ASSERT_TRUE(later);
    EXPECT_FALSE(later->children);
    EXPECT_FALSE(later->folderAggregate);

    const FolderAggregate& a = result.aggregates.at(t.photos);
    EXPECT_EQ(a.totalCount, 1500);
    EXPECT_EQ(a.compressedCount, 500);
    EXPECT_EQ(a.uncompressedCount, 500);
    EXPECT_EQ(a.compressableCount, 500 + 500);  // loaded ones of 50,000 bytes and listed ones of 8,000
    EXPECT_EQ(a.totalLogical, 500u * 2000000 + 500u * 50000 + 500u * 8000);
    EXPECT_EQ(a.totalPhysical, 500u * 500000 + 500u * 50000);
    EXPECT_EQ(a.starsHistogram, (std::map<int, int>{{1, 1500}}));
    EXPECT_EQ(photos->folderAggregate, a);
    const FolderAggregate& c = result.aggregates.at(t.code);
    EXPECT_EQ(c.errorCount, 10);
    EXPECT_EQ(c.compressableCount, 904);  // 4,096 bytes and more: 4,096 ... 4,999
    EXPECT_EQ(c.uncompressedCount, 990);
    EXPECT_FALSE(result.aggregates.contains(t.notLoaded));

    // 500 compressed photos and 125 compressed top files save bytes.
    EXPECT_EQ(result.reduction.count, 625);
    EXPECT_EQ(result.reduction.bytes, 500LL * 1500000 + 125LL * 6000);
}

TEST(DerivedAggregates, FiltersSearchAndStars)
{
    Table t;
    auto result = t.compute();

    // Compressed: inspected compressed files and files not inspected yet.
    t.input.statusFilter = CompressionStatusFilter::compressed;
    result = t.compute();
    int files = 0;
    for (const DisplayRow& row : result.rows) {
        if (row.kind == DisplayRow::DisplayKind::folder)
            continue;
        ++files;
        const auto& entry = t.entries.contains(row.id) ? t.entries.at(row.id) : FileStatusEntry();
        EXPECT_TRUE(entry.as<FileStatusEntry::notInspected>() || entry.info()) << row.displayName;
        EXPECT_NE(row.isCompressed, std::optional<bool>(false));
    }
    EXPECT_EQ(files, 250);
    const DisplayRow* photos = find(result.rows, "Photos");
    ASSERT_TRUE(photos && photos->children);
    EXPECT_EQ(photos->children->size(), 1000u);  // 500 compressed, 500 not inspected
    for (const DisplayRow& child : *photos->children)
        EXPECT_FALSE(child.folderAggregate);
    const DisplayRow* code = find(result.rows, "Code");
    ASSERT_TRUE(code);
    EXPECT_FALSE(code->children);  // nothing passes, the folder stays

    // Error: notFound and error entries.
    t.input.statusFilter = CompressionStatusFilter::error;
    result = t.compute();
    code = find(result.rows, "Code");
    ASSERT_TRUE(code && code->children);
    EXPECT_EQ(code->children->size(), 10u);
    EXPECT_TRUE(find(result.rows, "file2.psd"));   // notFound
    EXPECT_FALSE(find(result.rows, "file0.txt"));  // compressed

    // Size: only loaded entries are measured.
    t.input.statusFilter = CompressionStatusFilter::all;
    t.input.sizeFilter = SizeRangeFilter::large;
    result = t.compute();
    EXPECT_TRUE(find(result.rows, "file1.jpg"));    // 20,000,000 bytes
    EXPECT_TRUE(find(result.rows, "file2.psd"));    // notFound: not measured
    EXPECT_FALSE(find(result.rows, "file0.txt"));   // 10,000 bytes
    photos = find(result.rows, "Photos");
    ASSERT_TRUE(photos && photos->children);
    EXPECT_EQ(photos->children->size(), 500u);  // the not inspected ones

    // Stars: from the name's extension at the top, from the row below.
    t.input.sizeFilter = SizeRangeFilter::all;
    t.input.minStars = 3;
    result = t.compute();
    for (const DisplayRow& row : result.rows) {
        if (row.kind == DisplayRow::DisplayKind::folder)
            continue;
        const std::string ext = fs::path(row.displayName).extension().string();
        EXPECT_TRUE(ext == ".txt" || ext == ".psd") << row.displayName;
    }
    photos = find(result.rows, "Photos");
    ASSERT_TRUE(photos);
    EXPECT_FALSE(photos->children);
    code = find(result.rows, "Code");
    ASSERT_TRUE(code && code->children);
    EXPECT_EQ(code->children->size(), 1000u);

    // Kind folder: folders without children.
    t.input.minStars = 0;
    t.input.kindFilter = KindFilter::folder;
    result = t.compute();
    ASSERT_EQ(result.rows.size(), 3u);
    for (const DisplayRow& row : result.rows)
        EXPECT_FALSE(row.children);

    // Search: a child's name alone does not bring in its folder.
    t.input.kindFilter = KindFilter::all;
    t.input.searchQuery = "SRC12";
    result = t.compute();
    EXPECT_TRUE(result.rows.empty());
    t.input.searchQuery = "pHoTo";
    result = t.compute();
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_FALSE(result.rows[0].children);  // no photo file is named like that
    t.input.searchQuery = "FILE49";
    result = t.compute();
    EXPECT_EQ(result.rows.size(), 11u);  // file49.*, file490 ... file499
}

TEST(DerivedAggregates, SortOrderReductionDuplicatesAndCancellation)
{
    Table t;
    t.input.sortOrder = {{Key::status, Order::forward}, {Key::logicalSize, Order::reverse},
                         {Key::displayName, Order::forward}};
    auto result = t.compute();
    for (std::size_t i = 1; i < result.rows.size(); ++i) {
        const DisplayRow& a = result.rows[i - 1];
        const DisplayRow& b = result.rows[i];
        ASSERT_LE(a.statusSortKey(), b.statusSortKey());
        if (a.statusSortKey() == b.statusSortKey()) {
            ASSERT_GE(a.logicalSizeSortKey(), b.logicalSizeSortKey());
        }
    }

    // The same compressed file as a registered file and inside a folder
    // counts once; one that did not shrink counts never but still blocks.
    DerivedAggregates::Input small;
    const store::Uuid folder = store::Uuid::random(), file = store::Uuid::random(), flat = store::Uuid::random();
    small.topItems = {{RowId::registered(flat), flat, ItemKind::file, "b.txt", "/d/F/./b.txt", 5},
                      {RowId::registered(file), file, ItemKind::file, "a.txt", "/d/F/a.txt", 5},
                      {RowId::registered(folder), folder, ItemKind::folder, "F", "/d/F", 0}};
    DisplayRow a = Table::child(folder, "/d/F/a.txt", 5);
    DisplayRow b = Table::child(folder, "/d/F/b.txt", 5);
    small.children[folder] = std::make_shared<std::vector<DisplayRow>>(std::vector<DisplayRow>{a, b});
    DerivedAggregates::EntryMap entries;
    entries[a.id] = compressed(10000, 4000);
    entries[small.topItems[1].id] = compressed(10000, 4000);
    entries[small.topItems[0].id] = compressed(5000, 8192);
    entries[b.id] = compressed(5000, 1000);
    small.entries = std::make_shared<DerivedAggregates::EntryMap>(entries);
    result = DerivedAggregates::compute(small);
    EXPECT_EQ(result.reduction.count, 1);
    EXPECT_EQ(result.reduction.bytes, 6000);

    // A cancelled computation stops before the first item.
    std::stop_source stop;
    stop.request_stop();
    result = DerivedAggregates::compute(t.input, stop.get_token());
    EXPECT_TRUE(result.rows.empty());
    EXPECT_EQ(result.aggregates.size(), 2u);
}

TEST(DerivedAggregates, UnresolvedRegisteredFileKeepsItsNameForTheStarsFilter)
{
    BookmarkUrlCache urls;
    store::RegisteredItem item(store::Uuid::random(), {1, 2, 3}, "file", false, std::chrono::system_clock::now(),
                               "notes.txt");
    const TopItemRef ref = TopItemRef::make(item, urls);
    EXPECT_EQ(ref.url, fs::path("/__unresolved__/notes.txt"));
    EXPECT_EQ(ref.stars, 0);
    EXPECT_EQ(ref.id, RowId::registered(item.id()));

    DerivedAggregates::Input input;
    input.topItems = {ref};
    input.minStars = 5;
    const auto result = DerivedAggregates::compute(input);
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].stars, 0);
    EXPECT_FALSE(result.rows[0].logicalSize);
}

TEST(FolderAggregate, CountsCandidatesByTheirBounds)
{
    const store::Uuid folder = store::Uuid::random();
    DisplayRow err = Table::child(folder, "/f/err.txt", 5);
    DisplayRow listed = Table::child(folder, "/f/listed.txt", 5);
    listed.logicalSize = 5000;
    listed.isCompressed = false;
    DisplayRow small = Table::child(folder, "/f/small.txt", 2);
    DisplayRow edge = Table::child(folder, "/f/edge.bin", 0);
    DisplayRow over = Table::child(folder, "/f/over.bin", 0);
    DerivedAggregates::EntryMap entries{{err.id, FileStatusEntry::error{"x"}},
                                        {small.id, loaded(FileCompressionStatus::uncompressed{}, 3000, 4096)},
                                        {edge.id, uncompressed(2147483647)},
                                        {over.id, uncompressed(2147483648u)}};
    const FolderAggregate a = aggregateFolder({err, listed, small, edge, over}, entries);
    EXPECT_EQ(a.totalCount, 5);
    EXPECT_EQ(a.errorCount, 1);
    EXPECT_EQ(a.uncompressedCount, 3);
    EXPECT_EQ(a.compressableCount, 2);  // listed and edge
    EXPECT_EQ(a.oversizedCount, 1);
    EXPECT_EQ(a.totalLogical, 5000ull + 3000ull + 2147483647ull + 2147483648ull);
    EXPECT_EQ(a.totalPhysical, 4096ull + 2147483647ull + 2147483648ull);
    EXPECT_EQ(a.averageStars(), 2);  // (5+5+2)/5 = 2.4

    FolderAggregate h;
    EXPECT_FALSE(h.averageStars());
    h.starsHistogram = {{5, 1}, {2, 1}};
    EXPECT_EQ(h.averageStars(), 4);
    EXPECT_EQ(aggregateFolder({}, DerivedAggregates::EntryMap{}), FolderAggregate{});
}

TEST(RowFilters, RangesRawValuesAndParentPaths)
{
    EXPECT_TRUE(matches(SizeRangeFilter::small, 999999));
    EXPECT_TRUE(matches(SizeRangeFilter::medium, 1000000));
    EXPECT_TRUE(matches(SizeRangeFilter::large, 99999999));
    EXPECT_TRUE(matches(SizeRangeFilter::huge, 100000000));
    EXPECT_FALSE(matches(SizeRangeFilter::large, 100000000));
    EXPECT_FALSE(sizeRangeFilterFromRaw("Huge"));
    EXPECT_EQ(sizeRangeFilterFromRaw("huge"), SizeRangeFilter::huge);
    EXPECT_EQ(label(SizeRangeFilter::medium), "1〜10 MB");
    EXPECT_EQ(compressionStatusFilterFromRaw("error"), CompressionStatusFilter::error);
    EXPECT_EQ(label(KindFilter::folder), "フォルダ");

    EXPECT_EQ(homeRelativePath("/Users/a", "/Users/a"), "~");
    EXPECT_EQ(homeRelativePath("/Users/a/Docs", "/Users/a"), "~/Docs");
    EXPECT_EQ(homeRelativePath("/Users/ab", "/Users/a"), "/Users/ab");

    DisplayRow row;
    EXPECT_EQ(row.statusSortKey(), 2);
    EXPECT_EQ(row.ratioSortKey(), 1.0);
    EXPECT_EQ(row.logicalSizeSortKey(), 0u);
    row.isCompressed = false;
    EXPECT_EQ(row.statusSortKey(), 1);
}

TEST(DerivedRowsRefresh, ACancelledRefreshNeverOverwritesANewerOne)
{
    test::application();
    kelvane::test::TempDir dir;
    dir.useAsHome();
    auto container = test::openStore(dir);
    FileStatusCache cache;
    MainWindowModel model(cache, container->mainContext());

    std::vector<MainWindowModel::Item> items;
    for (int i = 0; i < 3000; ++i)
        items.push_back(std::make_shared<store::RegisteredItem>(store::Uuid::random(), std::vector<std::uint8_t>{0},
                                                                "file", false, std::chrono::system_clock::now(),
                                                                "doc" + std::to_string(i) + ".txt"));
    model.setItems(items);
    std::vector<std::size_t> stored;
    QObject::connect(&model, &MainWindowModel::derivedRowsChanged, [&] { stored.push_back(model.displayedRows().size()); });

    const TaskHandle older = model.refreshDerivedRows();
    model.setSearchQuery("doc299");
    const TaskHandle newer = model.refreshDerivedRows();
    EXPECT_TRUE(older.isCancelled());
    ASSERT_TRUE(test::waitUntil([&] { return older.isFinished() && newer.isFinished(); }));
    ASSERT_TRUE(test::waitUntil([&] { return !stored.empty(); }));
    for (std::size_t size : stored)
        EXPECT_EQ(size, 11u);  // doc299, doc2990 ... doc2999
    EXPECT_EQ(model.displayedRows().size(), 11u);

    // Changes within one turn of the event loop cost one refresh.
    stored.clear();
    model.setKindFilter(KindFilter::file);
    model.setSearchQuery("doc1");
    model.setMinStars(5);
    ASSERT_TRUE(test::waitUntil([&] { return !stored.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(stored.size(), 1u);
    EXPECT_EQ(model.displayedRows().size(), 1111u);

    // The filters live in the settings.
    MainWindowModel reopened(cache, container->mainContext());
    EXPECT_EQ(reopened.kindFilter(), KindFilter::file);
    EXPECT_EQ(reopened.minStars(), 5);
}

}  // namespace
}  // namespace kelvane::operations
