// SPDX-License-Identifier: MIT
#include "operations/folders/FolderLoader.h"

#include "discovery/FileSystemSearcher.h"
#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "operations/folders/ChildInspectionWorker.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/threads/MainThread.h"
#include "operations/windows/MainWindowModel.h"
#include "operations/bulk/Reinspection.h"
#include "operations/threads/WorkerJobs.h"
#include "platform/FileSystem.h"

#include "GeneratedFiles.h"
#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <fcntl.h>

#include <map>

namespace kelvane::operations {
namespace {

namespace fs = std::filesystem;
using engine::FileCompressionStatus;

class FolderLoadingTest : public test::ModelFixture {
protected:
    void file(const fs::path& path, std::size_t size)
    {
        fs::create_directories(path.parent_path());
        kelvane::test::writeRawFile(path, test::textBytes(rng_, size));
    }

    // `folder` registered, and the model's one item.
    std::shared_ptr<store::RegisteredItem> showFolder(const fs::path& folder)
    {
        auto item = test::registerItem(container_->mainContext(), folder, ItemKind::folder);
        model_->setItems({item});
        return item;
    }

    // A folder of `count` files f0.txt, f1.txt, … of `size` bytes, shown as above.
    std::shared_ptr<store::RegisteredItem> showFolderOfFiles(const fs::path& folder, int count, std::size_t size)
    {
        for (int i = 0; i < count; ++i)
            file(folder / ("f" + std::to_string(i) + ".txt"), size);
        return showFolder(folder);
    }

    std::mt19937 rng_{42};

    // A listed text or source file: its time, size, stars and plain state.
    void expectInspectedPlainTextFile(const DisplayRow& row)
    {
        EXPECT_EQ(row.kind, DisplayRow::DisplayKind::file);
        EXPECT_TRUE(row.mtime);
        EXPECT_EQ(row.logicalSize, fs::file_size(row.url));
        EXPECT_EQ(row.stars, 5);  // text and source code
        ASSERT_TRUE(cache_->entry(row.id).info()) << row.url;
        EXPECT_EQ(cache_->entry(row.id).info()->status.kind(), FileCompressionStatus::Kind::uncompressed);
    }

    // One alert each for the folder gone and the one replaced by a file, in
    // words; the log line keeps the path private.
    void expectAlertsOfTheMissingAndTheReplaced(const std::vector<std::string>& alerts, const fs::path& replaced)
    {
        ASSERT_EQ(alerts.size(), 2u);
        EXPECT_EQ(alerts[0], "「Missing」にアクセスできませんでした。\n対処: フォルダが移動または削除されていないか確認し、登録し直してください。");
        EXPECT_EQ(alerts[1].rfind("「Replaced」の中身を取得できませんでした。\n対処: フォルダがまだ存在するか確認してください。\n詳細: ", 0), 0u);
        EXPECT_EQ(model_->errorMessage(), alerts[1]);
        EXPECT_NE(alerts[1].find(replaced.string()), std::string::npos);
        const auto failures = test::logLines("loadChildren failed");
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_NE(failures[0].find("<private>: rootNotADirectory(\"<private>\")"), std::string::npos) << failures[0];
        EXPECT_EQ(failures[0].find(dir_.path().string()), std::string::npos) << failures[0];
    }
};

TEST_F(FolderLoadingTest, LoadsReachableFoldersAndReportsTheOthers)
{
    const fs::path good = dir_ / "Good";
    file(good / "a.txt", 10000);
    file(good / "sub" / "b.swift", 5000);
    file(good / ".hidden.txt", 5000);
    const fs::path flat = dir_ / "Flat";
    file(flat / "top.txt", 8000);
    file(flat / "deep" / "not-listed.txt", 8000);
    const fs::path missing = dir_ / "Missing";
    file(missing / "x.txt", 100);
    const fs::path replaced = dir_ / "Replaced";
    file(replaced / "y.txt", 100);
    const fs::path single = dir_ / "single.txt";
    file(single, 6000);

    auto& context = container_->mainContext();
    auto goodItem = test::registerItem(context, good, ItemKind::folder);
    auto missingItem = test::registerItem(context, missing, ItemKind::folder);
    auto replacedItem = test::registerItem(context, replaced, ItemKind::folder);
    auto flatItem = test::registerItem(context, flat, ItemKind::folder, false);
    auto fileItem = test::registerItem(context, single, ItemKind::file);
    fs::remove_all(missing);
    fs::remove_all(replaced);
    file(replaced, 10);  // a file where the folder was: the bookmark resolves, the listing fails

    model_->setItems({goodItem, missingItem, replacedItem, flatItem, fileItem});
    std::vector<std::string> alerts;
    QObject::connect(model_.get(), &MainWindowModel::errorMessageChanged, [&] {
        if (model_->errorMessage())
            alerts.push_back(*model_->errorMessage());
    });
    std::vector<ScanActivity::Phase> phases;
    QObject::connect(model_.get(), &MainWindowModel::scanActivityChanged, [&] {
        if (auto activity = model_->scanActivity())
            QObject::connect(activity.get(), &ScanActivity::phaseChanged, [&, a = activity.get()] { phases.push_back(a->phase()); });
    });

    // Queued before the load starts, so it runs before any worker reports:
    // the call has returned while the work goes on.
    bool mainThreadRanDuringLoad = false;
    postToMainThread([&] { mainThreadRanDuringLoad = model_->scanActivity() && !model_->loadingFolders().empty(); });
    const TaskHandle load = model_->loadAllFolderChildren();
    EXPECT_FALSE(load.isFinished());
    ASSERT_TRUE(model_->scanActivity());
    EXPECT_EQ(model_->scanActivity()->folderTotal(), 4);
    ASSERT_TRUE(test::waitUntil([&] { return load.isFinished(); }));
    EXPECT_TRUE(mainThreadRanDuringLoad);

    EXPECT_FALSE(model_->scanActivity());
    EXPECT_TRUE(model_->loadingFolders().empty());
    EXPECT_EQ(model_->folderChildrenVersion(), 4);
    EXPECT_FALSE(model_->folderChildren().contains(fileItem->id()));

    const auto& goodRows = *model_->folderChildren().at(goodItem->id());
    ASSERT_EQ(goodRows.size(), 2u);
    std::set<RowId> ids;
    for (const DisplayRow& row : goodRows) {
        ids.insert(row.id);
        expectInspectedPlainTextFile(row);
    }
    EXPECT_TRUE(ids.contains(RowId::child(goodItem->id(), good / "a.txt")));
    EXPECT_TRUE(ids.contains(RowId::child(goodItem->id(), good / "sub" / "b.swift")));

    const auto& flatRows = *model_->folderChildren().at(flatItem->id());
    ASSERT_EQ(flatRows.size(), 1u);
    EXPECT_EQ(flatRows[0].displayName, "top.txt");

    EXPECT_TRUE(model_->folderChildren().at(missingItem->id())->empty());
    EXPECT_TRUE(model_->folderChildren().at(replacedItem->id())->empty());
    expectAlertsOfTheMissingAndTheReplaced(alerts, replaced);

    // The inspection phase ends with every file counted, never beyond.
    bool sawComplete = false;
    for (const auto& phase : phases) {
        if (const auto* inspecting = std::get_if<ScanActivity::Inspecting>(&phase)) {
            EXPECT_LE(inspecting->done, inspecting->total);
            sawComplete = sawComplete || (inspecting->total == 2 && inspecting->done == 2);
        }
    }
    EXPECT_TRUE(sawComplete);

    // Everything is loaded: nothing to do, no scan bar.
    const TaskHandle again = model_->loadAllFolderChildren();
    EXPECT_TRUE(again.isFinished());
    EXPECT_FALSE(model_->scanActivity());

    // Reloading one folder keeps the old states visible until new ones arrive.
    engine::FileCompressor{}.compressFile(good / "a.txt");
    const RowId aID = RowId::child(goodItem->id(), good / "a.txt");
    const auto oldPhysical = cache_->entry(aID).info()->physicalSize;
    model_->removeFolderChildren({goodItem->id()});
    const TaskHandle reload = model_->loadChildren(goodItem);
    ASSERT_TRUE(test::waitUntil([&] { return reload.isFinished(); }));
    EXPECT_EQ(cache_->entry(aID).info()->status.kind(), FileCompressionStatus::Kind::compressed);
    for (const DisplayRow& row : *model_->folderChildren().at(goodItem->id())) {
        if (row.id == aID) {
            EXPECT_EQ(row.physicalSize, oldPhysical);
        }
    }
}

// The loader reports each folder's steps in order through its signals; it
// needs no window model.
// A registered folder listed while another run replaces one of its files, and
// with the replacement a killed run left beside another: only the user's own
// files become rows, so that neither is shown nor taken into a bulk run,
// whose compression of the leftover would drop its marker and leave the file
// it belongs to refused on every later run.
TEST_F(FolderLoadingTest, OtherRunsReplacementFilesAreNotListed)
{
    using engine::TemporaryFile;
    const fs::path folder = dir_ / "Work";
    std::set<std::string> names;
    for (const char* name : {"busy.txt", "killed.txt", "plain.txt"}) {
        file(folder / name, 8000);
        names.insert(name);
    }
    for (const char* name : {"busy.txt", "killed.txt"}) {
        const fs::path replacement = TemporaryFile::pathFor(folder / name);
        file(replacement, 8000);
        const std::vector<std::uint8_t> marker = TemporaryFile::markerFor(folder / name);
        ASSERT_EQ(platform::setxattr(replacement, TemporaryFile::markerName, marker.data(), marker.size(), 0,
                                     platform::XATTR_NOFOLLOW),
                  0);
    }
    // The other run holds its replacement open for writing.
    const platform::UniqueFd writer = platform::open(TemporaryFile::pathFor(folder / "busy.txt"), O_WRONLY);
    ASSERT_TRUE(writer);
    // A marker left on a file after its swap names the file itself: still the user's file.
    const std::vector<std::uint8_t> own = TemporaryFile::markerFor(folder / "plain.txt");
    ASSERT_EQ(platform::setxattr(folder / "plain.txt", TemporaryFile::markerName, own.data(), own.size(), 0,
                                 platform::XATTR_NOFOLLOW),
              0);

    const auto item = showFolder(folder);
    const TaskHandle load = model_->loadAllFolderChildren();
    ASSERT_TRUE(test::waitUntil([&] { return load.isFinished(); }));

    std::set<std::string> listed;
    for (const DisplayRow& row : *model_->folderChildren().at(item->id()))
        listed.insert(row.displayName);
    EXPECT_EQ(listed, names);
}

TEST_F(FolderLoadingTest, LoaderAnnouncesEachFolderWithoutAWindow)
{
    file(dir_ / "One" / "a.txt", 6000);
    file(dir_ / "Two" / "b.txt", 6000);
    file(dir_ / "Gone" / "c.txt", 6000);
    auto& context = container_->mainContext();
    auto one = test::registerItem(context, dir_ / "One", ItemKind::folder);
    auto two = test::registerItem(context, dir_ / "Two", ItemKind::folder);
    auto gone = test::registerItem(context, dir_ / "Gone", ItemKind::folder);
    fs::remove_all(dir_ / "Gone");

    FolderLoader loader(*cache_);
    std::vector<std::string> events;
    const auto tag = [&](const store::Uuid& id) { return id == one->id() ? "one" : id == two->id() ? "two" : "gone"; };
    QObject::connect(&loader, &FolderLoader::folderLoadStarted, [&](const store::Uuid& id) { events.push_back(std::string("start ") + tag(id)); });
    QObject::connect(&loader, &FolderLoader::folderListed, [&](const store::Uuid& id, const DisplayRow::Children& rows) {
        events.push_back(std::string("listed ") + tag(id) + " " + std::to_string(rows->size()));
    });
    QObject::connect(&loader, &FolderLoader::folderFailed, [&](const store::Uuid& id, const std::string& message) {
        events.push_back(std::string("failed ") + tag(id));
        EXPECT_EQ(message.rfind("「Gone」", 0), 0u);
    });
    QObject::connect(&loader, &FolderLoader::folderLoadEnded, [&](const store::Uuid& id) { events.push_back(std::string("end ") + tag(id)); });

    const FolderLoader::Run run = loader.loadAll({one, gone, two});
    ASSERT_TRUE(run.activity);
    EXPECT_EQ(run.activity->folderTotal(), 3);
    ASSERT_TRUE(test::waitUntil([&] { return run.task.isFinished(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"start one", "listed one 1", "end one", "start gone", "failed gone",
                                                "end gone", "start two", "listed two 1", "end two"}));
    EXPECT_EQ(run.activity->folderIndex(), 3);
    EXPECT_TRUE(cache_->entry(RowId::child(two->id(), dir_ / "Two" / "b.txt")).info());
    EXPECT_TRUE(model_->folderChildren().empty());
}

// Refreshing a selection inspects its files again, as the status cell does
// (the file's state now, not the store's record of files that did not
// shrink), and reloads its registered folders.
TEST_F(FolderLoadingTest, RefreshingASelectionInspectsItsFilesAndReloadsItsFolders)
{
    const fs::path folder = dir_ / "Sel";
    file(folder / "a.txt", 20000);
    file(folder / "b.txt", 20000);
    const auto item = showFolder(folder);
    const TaskHandle load = model_->loadAllFolderChildren();
    ASSERT_TRUE(test::waitUntil([&] { return load.isFinished(); }));
    const std::vector<DisplayRow> rows = *model_->folderChildren().at(item->id());
    ASSERT_EQ(rows.size(), 2u);
    const DisplayRow& a = rows[0].displayName == "a.txt" ? rows[0] : rows[1];
    const DisplayRow& b = rows[0].displayName == "a.txt" ? rows[1] : rows[0];

    engine::FileCompressor{}.compressFile(a.url);
    model_->setIncompressiblePaths({b.url.string()});
    model_->refreshSelection({a, b});
    EXPECT_FALSE(cache_->entry(a.id).info());  // not inspected until the workers answer
    ASSERT_TRUE(test::waitUntil([&] { return cache_->entry(a.id).info() && cache_->entry(b.id).info(); }));
    EXPECT_EQ(cache_->entry(a.id).info()->status.kind(), FileCompressionStatus::Kind::compressed);
    EXPECT_EQ(cache_->entry(b.id).info()->status.kind(), FileCompressionStatus::Kind::uncompressed)
        << "the store's record does not hide what the file is now";

    DisplayRow folderRow;
    folderRow.kind = DisplayRow::DisplayKind::folder;
    folderRow.registeredItemID = item->id();
    file(folder / "c.txt", 20000);
    model_->refreshSelection({folderRow});
    EXPECT_FALSE(model_->folderChildren().contains(item->id()));
    ASSERT_TRUE(test::waitUntil([&] { return model_->folderChildren().contains(item->id()); }));
    EXPECT_EQ(model_->folderChildren().at(item->id())->size(), 3u);
}

TEST_F(FolderLoadingTest, CancelledListingLeavesTheFolderToTheNextLoad)
{
    const auto item = showFolderOfFiles(dir_ / "Docs", 50, 100);

    const TaskHandle load = model_->loadAllFolderChildren();
    const auto activity = model_->scanActivity();
    ASSERT_TRUE(activity);
    activity->cancel();
    ASSERT_TRUE(test::waitUntil([&] { return load.isFinished(); }));
    EXPECT_TRUE(activity->wasCancelled());
    EXPECT_FALSE(model_->folderChildren().contains(item->id()));
    EXPECT_FALSE(model_->scanActivity());
    EXPECT_TRUE(model_->loadingFolders().empty());

    const TaskHandle next = model_->loadAllFolderChildren();
    ASSERT_TRUE(test::waitUntil([&] { return next.isFinished(); }));
    EXPECT_EQ(model_->folderChildren().at(item->id())->size(), 50u);
}

TEST_F(FolderLoadingTest, ResultsArriveInBatchesOfAWholeSliceOrAThousand)
{
    const auto item = showFolderOfFiles(dir_ / "Many", 5000, 10);

    std::vector<std::size_t> batches;
    std::size_t seen = 0;
    QObject::connect(cache_.get(), &FileStatusCache::versionChanged, [&] {
        batches.push_back(cache_->entries().size() - seen);
        seen = cache_->entries().size();
    });
    const TaskHandle load = model_->loadAllFolderChildren();
    ASSERT_TRUE(test::waitUntil([&] { return load.isFinished(); }));

    // Slices below the threshold are delivered whole, once, at their end.
    const auto workers = static_cast<std::size_t>(FolderLoader::inspectionWorkerCount(activeProcessorCount()));
    const auto slices = sliceEvenly(5000, workers);
    std::size_t total = 0;
    for (std::size_t size : batches)
        total += size;
    EXPECT_EQ(total, 5000u);
    if (slices.front().end - slices.front().begin < ChildInspectionWorker::defaultFlushThreshold) {
        ASSERT_EQ(batches.size(), slices.size());
        std::multiset<std::size_t> expected, actual(batches.begin(), batches.end());
        for (const Slice& s : slices)
            expected.insert(s.end - s.begin);
        EXPECT_EQ(actual, expected);
    }
}

// A folder large enough for its rows to be built on several threads: every
// row stays in the listing's order and describes its own file.
TEST_F(FolderLoadingTest, RowsOfALargeFolderFollowTheListingAndDescribeTheirOwnFile)
{
    const fs::path folder = dir_ / "Large";
    const std::pair<const char*, int> kinds[] = {{".txt", 5}, {".jpg", 1}, {".swift", 5}, {"", 0}, {".zip", 1}};
    std::map<std::string, int> expectedStars;
    for (int i = 0; i < 2600; ++i) {
        const auto& [extension, stars] = kinds[i % std::size(kinds)];
        const fs::path path = folder / ("d" + std::to_string(i % 3)) / ("f" + std::to_string(i) + extension);
        file(path, 1 + static_cast<std::size_t>(i) % 997);  // sizes tell neighbours apart
        expectedStars[path.string()] = stars;
    }
    file(folder / "d0" / ".hidden.txt", 10);
    const auto item = showFolder(folder);

    const TaskHandle load = model_->loadAllFolderChildren();
    ASSERT_TRUE(test::waitUntil([&] { return load.isFinished(); }));

    discovery::SearchCriteria criteria;
    criteria.rootURL = folder;
    criteria.excludeAlreadyCompressed = false;
    criteria.excludeHidden = true;
    const auto listed = discovery::FileSystemSearcher().search(criteria);
    const auto& rows = *model_->folderChildren().at(item->id());
    ASSERT_EQ(rows.size(), 2600u);
    ASSERT_EQ(listed.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const DisplayRow& row = rows[i];
        ASSERT_EQ(row.url, listed[i].url) << i;
        EXPECT_EQ(row.id, RowId::child(item->id(), row.url)) << i;
        EXPECT_EQ(row.displayName, row.url.filename().string()) << i;
        EXPECT_EQ(row.kind, DisplayRow::DisplayKind::file);
        EXPECT_EQ(row.logicalSize, fs::file_size(row.url)) << i;
        EXPECT_EQ(row.mtime, listed[i].modificationDate) << i;
        EXPECT_EQ(row.stars, expectedStars.at(row.url.string())) << i;
        ASSERT_TRUE(cache_->entry(row.id).info()) << row.url;
    }
}

TEST(ChildInspectionWorker, FlushesOnlyWithAThousandResultsAQuarterSecondApart)
{
    std::vector<DisplayRow> rows(10000);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].id = test::rowId("id" + std::to_string(i));
        rows[i].url = "/nonexistent/kelvane/" + std::to_string(i);
    }
    const std::set<std::string> noPaths;
    using Clock = ChildInspectionWorker::Clock;
    Clock::time_point fake{};
    const auto tick = [&] { return fake += std::chrono::microseconds(20); };

    std::vector<std::pair<std::size_t, Clock::time_point>> flushes;
    std::vector<RowId> delivered;
    ChildInspectionWorker worker(noPaths, [&](ChildInspectionWorker::Batch&& batch) {
        flushes.emplace_back(batch.size(), fake);
        for (auto& [id, entry] : batch) {
            delivered.push_back(id);
            EXPECT_EQ(entry, FileStatusEntry(FileStatusEntry::notFound{}));
        }
    }, tick);
    const WorkerStats stats = worker.run(rows, {});

    EXPECT_EQ(stats.errors, 10000);
    ASSERT_GE(flushes.size(), 2u);
    EXPECT_GT(flushes.front().first, 1000u);  // 1,000 results came before a quarter second had passed
    Clock::time_point last{};
    for (std::size_t i = 0; i + 1 < flushes.size(); ++i) {
        EXPECT_GE(flushes[i].first, 1000u);
        EXPECT_GE(flushes[i].second - last, std::chrono::milliseconds(250));
        last = flushes[i].second;
    }
    ASSERT_EQ(delivered.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(delivered[i], rows[i].id);

    // Stopped half-way, it still hands over what it has, in order.
    std::stop_source stop;
    std::size_t calls = 0;
    delivered.clear();
    ChildInspectionWorker stopped(noPaths, [&](ChildInspectionWorker::Batch&& batch) {
        for (auto& pair : batch)
            delivered.push_back(pair.first);
    }, [&] {
        if (++calls == 3000)
            stop.request_stop();
        return Clock::time_point{};
    });
    stopped.run(rows, stop.get_token());
    EXPECT_GT(delivered.size(), 0u);
    EXPECT_LT(delivered.size(), rows.size());
    for (std::size_t i = 0; i < delivered.size(); ++i)
        ASSERT_EQ(delivered[i], rows[i].id);
}

TEST(ChildInspectionWorker, KnownIncompressiblePathsAndMissingFiles)
{
    kelvane::test::TempDir dir;
    std::mt19937 rng(1);
    const auto plain = dir / "plain.txt";
    const auto packed = dir / "packed.txt";
    kelvane::test::writeRawFile(plain, test::textBytes(rng, 9000));
    kelvane::test::writeRawFile(packed, test::textBytes(rng, 9000));
    engine::FileCompressor{}.compressFile(packed);
    const std::set<std::string> known{plain.string(), packed.string()};

    long long errors = 0;
    EXPECT_EQ(ChildInspectionWorker::inspect(plain, known, errors).info()->status.kind(),
              FileCompressionStatus::Kind::incompressible);
    EXPECT_EQ(ChildInspectionWorker::inspect(packed, known, errors).info()->status.kind(),
              FileCompressionStatus::Kind::compressed);
    EXPECT_EQ(ChildInspectionWorker::inspect(plain, {}, errors).info()->status.kind(),
              FileCompressionStatus::Kind::uncompressed);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(ChildInspectionWorker::inspect(dir / "gone", known, errors), FileStatusEntry(FileStatusEntry::notFound{}));
    EXPECT_EQ(errors, 1);

    // The re-inspection after a run marks by row id instead of path.
    DisplayRow a, b, c;
    a.id = test::rowId("a"), a.url = plain;
    b.id = test::rowId("b"), b.url = packed;
    c.id = test::rowId("c"), c.url = dir / "gone";
    const auto pairs = Reinspection::inspectChunk(std::vector<DisplayRow>{a, b, c}, {a.id, b.id});
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].second.info()->status.kind(), FileCompressionStatus::Kind::incompressible);
    EXPECT_EQ(pairs[1].second.info()->status.kind(), FileCompressionStatus::Kind::compressed);
    EXPECT_EQ(pairs[2].second, FileStatusEntry(FileStatusEntry::notFound{}));
}

TEST(WorkerJobs, SlicesAndWorkerCounts)
{
    const auto sizes = [](std::size_t count, std::size_t workers) {
        std::vector<std::size_t> out;
        for (const Slice& s : sliceEvenly(count, workers))
            out.push_back(s.end - s.begin);
        return out;
    };
    EXPECT_EQ(sizes(2500, 8), (std::vector<std::size_t>{313, 313, 313, 313, 313, 313, 313, 309}));
    EXPECT_EQ(sizes(3, 8), (std::vector<std::size_t>{1, 1, 1}));
    EXPECT_EQ(sizes(17, 8), (std::vector<std::size_t>{3, 3, 3, 3, 3, 2}));
    EXPECT_EQ(sizes(10, static_cast<std::size_t>(Reinspection::workerCount(3))), (std::vector<std::size_t>{4, 4, 2}));
    EXPECT_EQ(sizes(1, static_cast<std::size_t>(Reinspection::workerCount(1))), (std::vector<std::size_t>{1}));
    EXPECT_TRUE(sizes(0, 8).empty());
    EXPECT_EQ(FolderLoader::inspectionWorkerCount(1), 2);
    EXPECT_EQ(FolderLoader::inspectionWorkerCount(10), 8);
    EXPECT_EQ(Reinspection::workerCount(20), 8);
}

}  // namespace
}  // namespace kelvane::operations
