// SPDX-License-Identifier: MIT
#include "operations/bulk/BulkOperationRunner.h"

#include "discovery/FolderFileCounter.h"
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressor.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/rows/FolderAggregation.h"
#include "operations/windows/MainWindowModel.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "store/CompressionLog.h"
#include "store/IncompressibleFile.h"

#include "GeneratedFiles.h"
#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <set>

namespace kelvane::operations {
namespace {

namespace fs = std::filesystem;
using Kind = ActiveOperation::Kind;
using Bytes = std::vector<std::uint8_t>;
using engine::FileCompressionStatus;

class BulkRunTest : public test::ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        saveObserver_ = container_->addSaveObserver([this](const store::SaveNotification& n) {
            ++saves_;
            if (n.touches<store::CompressionLog>())
                ++logSaves_;
        });
    }
    void TearDown() override { container_->removeSaveObserver(saveObserver_); }

    fs::path write(const fs::path& path, const Bytes& bytes)
    {
        fs::create_directories(path.parent_path());
        kelvane::test::writeRawFile(path, bytes);
        originals_[path] = bytes;
        return path;
    }

    // Registers `folder`, loads and inspects it; returns its child rows.
    std::vector<DisplayRow> loadFolder(const fs::path& folder)
    {
        auto item = test::registerItem(container_->mainContext(), folder, ItemKind::folder);
        model_->setItems({item});
        const TaskHandle load = model_->loadAllFolderChildren();
        EXPECT_TRUE(test::waitUntil([&] { return load.isFinished(); }));
        folderID_ = item->id();
        return *model_->folderChildren().at(item->id());
    }

    std::shared_ptr<OperationProgress> runToEnd(Kind kind, std::vector<DisplayRow> rows)
    {
        model_->confirmOrStartOperation(kind, std::move(rows));
        auto progress = model_->operationProgress();
        EXPECT_TRUE(progress);
        if (progress) {
            EXPECT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));
        }
        return progress;
    }

    std::size_t count(const auto& descriptor)
    {
        return container_->makeContext(store::ModelContext::Access::readOnly)->fetch(descriptor).size();
    }

    static bool isCompressedOnDisk(const fs::path& path)
    {
        platform::FileStat st;
        return platform::lstat(path, st) == 0 && (st.flags & platform::UF_COMPRESSED) != 0;
    }

    std::uint64_t saveObserver_ = 0;
    int saves_ = 0;
    int logSaves_ = 0;
    std::map<fs::path, Bytes> originals_;
    store::Uuid folderID_;

    // The bytes the saved history says a compression run saved, once every
    // record is checked: one per compressed file and one per file not found.
    std::int64_t savedInCompressionRecords(const std::set<fs::path>& compressed, const std::set<fs::path>& notFound)
    {
        const auto logs = container_->makeContext(store::ModelContext::Access::readOnly)
                              ->fetch(store::FetchDescriptor<store::CompressionLog>());
        EXPECT_EQ(logs.size(), compressed.size() + notFound.size());
        std::int64_t saved = 0;
        for (const auto& log : logs) {
            const fs::path path = log->targetPath();
            EXPECT_EQ(log->operation(), "compress");
            if (log->success()) {
                EXPECT_TRUE(compressed.contains(path)) << path;
                EXPECT_EQ(log->algorithm(), "LZFSE");
                saved += std::max<std::int64_t>(log->sizeBefore() - log->sizeAfter(), 0);
            } else {
                EXPECT_TRUE(notFound.contains(path)) << path;
                EXPECT_EQ(log->errorMessage(), std::optional<std::string>("見つかりません"));
                EXPECT_EQ(log->algorithm(), "-");
            }
        }
        return saved;
    }
};

TEST_F(BulkRunTest, MixedFolderOfTwoThousandFilesIsCountedExactlyAndReadsBackIntact)
{
    std::mt19937 rng(20240611);
    const fs::path root = dir_ / "data";
    std::set<fs::path> expectSuccess, expectSkip, expectIncompressible, expectFailure;
    for (int i = 0; i < 1000; ++i)
        expectSuccess.insert(write(root / "text" / ("t" + std::to_string(i) + ".txt"), test::textBytes(rng, test::between(rng, 4096, 40000))));
    for (int i = 0; i < 300; ++i)
        expectSuccess.insert(write(root / "bin" / ("b" + std::to_string(i) + ".dat"), test::binaryBytes(rng, test::between(rng, 5000, 30000))));
    // Random data above the inline limit: its fork would not be smaller either.
    for (int i = 0; i < 200; ++i)
        expectIncompressible.insert(write(root / "rnd" / ("r" + std::to_string(i) + ".bin"), test::randomBytes(rng, test::between(rng, 20000, 60000))));
    expectSuccess.insert(write(root / "big.log", test::textBytes(rng, 17 * 1024 * 1024)));
    for (int i = 0; i < 150; ++i)
        expectIncompressible.insert(write(root / "small" / ("s" + std::to_string(i) + ".bin"), test::randomBytes(rng, test::between(rng, 200, 3000))));
    for (int i = 0; i < 100; ++i)
        expectIncompressible.insert(write(root / "tiny" / ("x" + std::to_string(i)), test::randomBytes(rng, test::between(rng, 1, 40))));
    for (int i = 0; i < 50; ++i)
        expectIncompressible.insert(write(root / "empty" / ("e" + std::to_string(i) + ".txt"), {}));
    for (int i = 0; i < 20; ++i) {
        const fs::path a = write(root / "links" / ("a" + std::to_string(i) + ".txt"), test::textBytes(rng, 8000));
        const fs::path b = root / "links" / ("b" + std::to_string(i) + ".txt");
        fs::create_hard_link(a, b);
        originals_[b] = originals_[a];
        expectSkip.insert(a);
        expectSkip.insert(b);
    }
    for (int i = 0; i < 20; ++i)
        expectSkip.insert(write(root / "locked" / ("l" + std::to_string(i) + ".txt"), test::textBytes(rng, 9000)));
    for (int i = 0; i < 60; ++i) {
        const fs::path p = write(root / "done" / ("c" + std::to_string(i) + ".txt"), test::textBytes(rng, 12000));
        engine::FileCompressor{}.compressFile(p);
        expectSkip.insert(p);
    }
    for (int i = 0; i < 30; ++i)
        expectFailure.insert(write(root / "gone" / ("g" + std::to_string(i) + ".txt"), test::textBytes(rng, 6000)));

    std::vector<DisplayRow> rows = loadFolder(root);
    ASSERT_EQ(rows.size(), originals_.size());

    // Another holder keeps some files locked; others vanish after the listing.
    std::vector<int> locks;
    for (const fs::path& p : expectSkip) {
        if (p.parent_path().filename() != "locked")
            continue;
        const int fd = ::open(p.c_str(), O_RDONLY);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        locks.push_back(fd);
    }
    for (const fs::path& p : expectFailure) {
        fs::remove(p);
        originals_.erase(p);
    }
    const int savesBefore = saves_;

    const auto progress = runToEnd(Kind::compress, rows);
    for (int fd : locks)
        ::close(fd);
    ASSERT_TRUE(progress);

    EXPECT_EQ(progress->total(), static_cast<int>(rows.size()));
    EXPECT_EQ(progress->current(), progress->total());
    EXPECT_EQ(progress->skippedCount(), static_cast<int>(expectSkip.size() + expectIncompressible.size()));
    // Only compressed files are successes: not the skipped, incompressible or failed ones.
    EXPECT_EQ(progress->succeededCount(), static_cast<int>(expectSuccess.size()));
    EXPECT_EQ(progress->incompressibleRowIDs().size(), expectIncompressible.size());
    ASSERT_EQ(progress->failures().size(), expectFailure.size());
    for (const auto& failure : progress->failures())
        EXPECT_EQ(failure.reason, "見つかりません");
    EXPECT_FALSE(progress->wasCancelled());
    EXPECT_EQ(model_->operationProgress(), progress);  // a large run leaves the sheet open
    EXPECT_TRUE(progress->pendingLogs().empty());
    EXPECT_TRUE(progress->pendingIncompressibleEntries().empty());

    // One save wrote every record of the run.
    EXPECT_EQ(saves_ - savesBefore, 1);
    EXPECT_EQ(logSaves_, 1);
    EXPECT_EQ(savedInCompressionRecords(expectSuccess, expectFailure), progress->bytesSavedSoFar());
    EXPECT_GT(progress->bytesSavedSoFar(), 0);
    EXPECT_EQ(count(store::FetchDescriptor<store::IncompressibleFile>()), expectIncompressible.size());

    // The cache ends with what the files are now; every file reads back whole.
    for (const DisplayRow& row : rows) {
        const FileStatusEntry entry = cache_->entry(row.id);
        if (expectFailure.contains(row.url)) {
            EXPECT_EQ(entry, FileStatusEntry(FileStatusEntry::notFound{})) << row.url;
            continue;
        }
        engine::FileCompressionInfo now = engine::FileCompressionInspector{}.inspect(row.url);
        if (expectIncompressible.contains(row.url))
            now.status = FileCompressionStatus::incompressible{};
        EXPECT_EQ(entry, FileStatusEntry(FileStatusEntry::loaded{now})) << row.url;
        const bool compressedNow = isCompressedOnDisk(row.url);
        EXPECT_EQ(compressedNow, expectSuccess.contains(row.url) || row.url.parent_path().filename() == "done")
            << row.url;
        Bytes back;
        ASSERT_EQ(platform::readWholeFile(row.url, back), 0) << row.url;
        EXPECT_TRUE(back == originals_.at(row.url)) << row.url;
    }
}

// Files whose fork would not be smaller, on the in-memory and the streaming
// road: counted and recorded as incompressible, each left exactly as it was.
// A file that shrinks by a single byte is still compressed.
TEST_F(BulkRunTest, FilesThatDoNotShrinkAreIncompressibleOnEveryRoadAndLeftAsTheyWere)
{
    std::mt19937 rng(77);
    const fs::path root = dir_ / "refused";
    const auto [before, shrinks, edge] =
        test::writeRefusedFiles(root, rng, [&](const fs::path& path, const Bytes& bytes) { return write(path, bytes); });
    ASSERT_FALSE(edge.empty());

    const std::vector<DisplayRow> rows = loadFolder(root);
    ASSERT_EQ(rows.size(), 7u);
    const auto progress = runToEnd(Kind::compress, rows);
    ASSERT_TRUE(progress);

    EXPECT_EQ(progress->succeededCount(), 1);
    EXPECT_EQ(progress->skippedCount(), 6);
    EXPECT_TRUE(progress->failures().empty());
    EXPECT_EQ(progress->incompressibleRowIDs().size(), 6u);
    std::set<std::string> recorded;
    for (const auto& record : container_->makeContext(store::ModelContext::Access::readOnly)
                                  ->fetch(store::FetchDescriptor<store::IncompressibleFile>()))
        recorded.insert(record->targetPath());
    std::set<std::string> expected;
    for (const auto& [path, image] : before) {
        expected.insert(path.string());
        EXPECT_TRUE(test::FileImage::of(path) == image) << path;
        EXPECT_FALSE(fs::exists(path.string() + ".kvtmp")) << path;
    }
    EXPECT_EQ(recorded, expected);
    const auto logs = container_->makeContext(store::ModelContext::Access::readOnly)
                          ->fetch(store::FetchDescriptor<store::CompressionLog>());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0]->targetPath(), shrinks.string());
    EXPECT_EQ(logs[0]->sizeBefore(), static_cast<std::int64_t>(edge.size()));

    EXPECT_TRUE(isCompressedOnDisk(shrinks));
    Bytes back;
    ASSERT_EQ(platform::readWholeFile(shrinks, back), 0);
    EXPECT_TRUE(back == edge);
}

TEST_F(BulkRunTest, CancelledRunLeavesEveryFileWholeAndCountsOnlyWhatWasDone)
{
    std::mt19937 rng(77);
    const fs::path root = dir_ / "big";
    for (int i = 0; i < 400; ++i)
        write(root / ("f" + std::to_string(i) + ".txt"), test::textBytes(rng, test::between(rng, 100000, 300000)));
    std::vector<DisplayRow> rows = loadFolder(root);
    ASSERT_EQ(rows.size(), 400u);

    model_->startOperation(Kind::compress, rows);
    const auto progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    ASSERT_TRUE(progress->task());
    QObject::connect(progress.get(), &OperationProgress::currentChanged, [&] {
        if (progress->current() >= 40 && !progress->wasCancelled())
            progress->cancel();
    });
    int countedBeforeFinish = -1;
    QObject::connect(progress.get(), &OperationProgress::completedAtChanged,
                     [&] { countedBeforeFinish = static_cast<int>(progress->pendingLogs().size()); });
    ASSERT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));

    EXPECT_TRUE(progress->wasCancelled());
    EXPECT_EQ(progress->current(), 400);
    EXPECT_EQ(model_->operationProgress(), progress);
    EXPECT_EQ(countedBeforeFinish, 0);  // the queue was written before the finish

    std::size_t compressed = 0;
    std::int64_t saved = 0;
    for (const DisplayRow& row : rows) {
        Bytes back;
        ASSERT_EQ(platform::readWholeFile(row.url, back), 0);
        EXPECT_TRUE(back == originals_.at(row.url)) << row.url;
        if (isCompressedOnDisk(row.url)) {
            ++compressed;
            platform::FileStat st;
            ASSERT_EQ(platform::lstat(row.url, st), 0);
            saved += st.size - st.blocks * 512;
        } else {
            EXPECT_TRUE(kelvane::test::readRawFile(row.url) == originals_.at(row.url)) << row.url;
        }
        // Re-inspected after the cancellation too, whether processed or not.
        const FileStatusEntry entry = cache_->entry(row.id);
        ASSERT_TRUE(entry.info()) << row.url;
        EXPECT_EQ(entry.info()->status.kind() == FileCompressionStatus::Kind::compressed, isCompressedOnDisk(row.url));
    }
    EXPECT_GE(compressed, 40u);
    EXPECT_LT(compressed, 400u);
    EXPECT_EQ(count(store::FetchDescriptor<store::CompressionLog>()), compressed);
    EXPECT_EQ(logSaves_, 1);
    // The finish sets `current` to every candidate; the successes stay what was done.
    EXPECT_EQ(progress->succeededCount(), static_cast<int>(compressed));
    EXPECT_EQ(progress->bytesSavedSoFar(), saved);
    EXPECT_EQ(progress->skippedCount(), 0);
    EXPECT_TRUE(progress->failures().empty());
}

TEST_F(BulkRunTest, FolderRowTakesChildrenByCachedStateAndDecompressionRecordsNoAlgorithm)
{
    std::mt19937 rng(5);
    const fs::path root = dir_ / "mixed";
    const fs::path plain = write(root / "plain.txt", test::textBytes(rng, 20000));
    const fs::path packed = write(root / "packed.txt", test::textBytes(rng, 20000));
    write(root / "small.txt", test::textBytes(rng, 100));
    engine::FileCompressor{}.compressFile(packed);

    DisplayRow folderRow;
    folderRow.kind = DisplayRow::DisplayKind::folder;
    folderRow.registeredItemID = store::Uuid::random();
    // A folder that was never loaded yields nothing and opens no sheet.
    model_->performRowAction(Kind::compress, folderRow);
    EXPECT_FALSE(model_->operationProgress());

    loadFolder(root);
    folderRow.registeredItemID = folderID_;
    model_->performRowAction(Kind::decompress, folderRow);
    auto progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->total(), 1);  // only the compressed child
    ASSERT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));
    EXPECT_EQ(progress->bytesSavedSoFar(), 0);
    EXPECT_FALSE(isCompressedOnDisk(packed));
    EXPECT_FALSE(model_->operationProgress());  // a small clean run closes its sheet
    auto logs = container_->mainContext().fetch(store::FetchDescriptor<store::CompressionLog>());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0]->operation(), "decompress");
    EXPECT_EQ(logs[0]->algorithm(), "-");
    EXPECT_EQ(logs[0]->targetPath(), packed.string());

    // Both text files are uncompressed now; the small one is not a candidate.
    model_->performRowAction(Kind::compress, folderRow);
    progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->total(), 2);
    ASSERT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));
    EXPECT_TRUE(isCompressedOnDisk(plain));
    EXPECT_TRUE(isCompressedOnDisk(packed));

    // A single compressed file row is always a candidate, and is skipped.
    DisplayRow fileRow = model_->folderChildren().at(folderID_)->front();
    fileRow.url = plain;
    model_->performRowAction(Kind::compress, fileRow);
    progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    ASSERT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));
    EXPECT_EQ(progress->skippedCount(), 1);
    EXPECT_EQ(container_->mainContext().fetch(store::FetchDescriptor<store::CompressionLog>()).size(), 3u);
}

// What the window counts for a folder is what its runs take: the folder
// sheet's count, the folder totals and the row actions follow one rule.
TEST_F(BulkRunTest, TheCountsShownForAFolderAreTheFilesItsRunsTake)
{
    std::mt19937 rng(8);
    const fs::path root = dir_ / "counted";
    for (int i = 0; i < 4; ++i)
        write(root / ("text" + std::to_string(i) + ".txt"), test::textBytes(rng, test::between(rng, 4096, 30000)));
    write(root / "edge.txt", test::textBytes(rng, 4095));
    write(root / "tiny.txt", test::textBytes(rng, 10));
    write(root / ".hidden.txt", test::textBytes(rng, 20000));
    const fs::path packed = write(root / "packed.txt", test::textBytes(rng, 20000));
    engine::FileCompressor{}.compressFile(packed);
    // Beyond what the format holds; sparse, so it costs no disk.
    const fs::path huge = root / "huge.img";
    { platform::UniqueFd fd(::open(huge.c_str(), O_WRONLY | O_CREAT, 0644)); ASSERT_TRUE(fd); ASSERT_EQ(::ftruncate(fd.get(), std::int64_t{1} << 31), 0); }

    EXPECT_EQ(discovery::FolderFileCounter().countFiles(root, true), 8) << "the hidden file is no run's";
    const std::vector<DisplayRow> children = loadFolder(root);
    EXPECT_EQ(children.size(), 8u);
    const FolderAggregate shown = aggregateFolder(children, model_->cache().entries());
    EXPECT_EQ(shown.compressableCount, 4);
    EXPECT_EQ(shown.oversizedCount, 1);
    EXPECT_EQ(shown.compressedCount, 1);

    // The runs leave the folder's time as it was: backup and build tools
    // would read a new one as a change of the folder.
    const timespec folderTime{1600000000, 5};
    const timespec times[2] = {folderTime, folderTime};
    ASSERT_EQ(::utimensat(AT_FDCWD, root.c_str(), times, 0), 0);

    DisplayRow folderRow;
    folderRow.kind = DisplayRow::DisplayKind::folder;
    folderRow.registeredItemID = folderID_;
    model_->performRowAction(Kind::compress, folderRow);
    // The oversized file's 2 GiB ask for the user's word first.
    ASSERT_TRUE(model_->pendingLargeOp());
    model_->confirmPendingLargeOp();
    auto progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->total(), shown.compressableCount);
    EXPECT_EQ(progress->sizeSkippedCount(), shown.oversizedCount);
    ASSERT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));
    EXPECT_EQ(progress->succeededCount(), shown.compressableCount);
    model_->setOperationProgress(nullptr);
    struct stat folderNow {};
    ASSERT_EQ(::stat(root.c_str(), &folderNow), 0);
    EXPECT_EQ(folderNow.st_mtim.tv_sec, folderTime.tv_sec);
    EXPECT_EQ(folderNow.st_mtim.tv_nsec, folderTime.tv_nsec);

    const FolderAggregate after = aggregateFolder(children, model_->cache().entries());
    EXPECT_EQ(after.compressedCount, 5);
    model_->performRowAction(Kind::decompress, folderRow);
    progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->total(), after.compressedCount);
    ASSERT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));
}

TEST_F(BulkRunTest, ConfirmationSetAsideAndConcurrencyFollowTheSizes)
{
    const auto fakeRows = [](std::vector<std::uint64_t> sizes) {
        std::vector<DisplayRow> rows;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            DisplayRow row;
            row.id = test::rowId("r" + std::to_string(i));
            row.displayName = "n" + std::to_string(i);
            row.url = "/nonexistent/kelvane/" + std::to_string(i);
            row.logicalSize = sizes[i];
            rows.push_back(row);
        }
        return rows;
    };

    model_->confirmOrStartOperation(Kind::compress, fakeRows({600000000, 400000001}));
    ASSERT_TRUE(model_->pendingLargeOp());
    EXPECT_EQ(model_->pendingLargeOp()->totalBytes, 1000000001);
    EXPECT_EQ(model_->pendingLargeOp()->candidates.size(), 2u);
    EXPECT_FALSE(model_->operationProgress());
    model_->dismissPendingLargeOp();
    EXPECT_FALSE(model_->pendingLargeOp());

    // Every candidate too large for the format: a finished run with nothing in it.
    model_->confirmOrStartOperation(Kind::compress, fakeRows({2147483648u}));
    model_->confirmPendingLargeOp();
    auto progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->total(), 0);
    EXPECT_EQ(progress->sizeSkippedCount(), 1);
    EXPECT_EQ(progress->sizeSkippedBytes(), 2147483648);
    EXPECT_TRUE(progress->isFinished());
    EXPECT_FALSE(progress->task());

    const int savesBefore = saves_;
    model_->confirmOrStartOperation(Kind::compress, fakeRows({500000000, 500000000}));
    EXPECT_FALSE(model_->pendingLargeOp());
    progress = model_->operationProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->concurrency(), 2);
    ASSERT_TRUE(test::waitUntil([&] { return progress->isFinished(); }));
    EXPECT_EQ(progress->failures().size(), 2u);
    EXPECT_EQ(progress->bytesProcessedSoFar(), 1000000000);
    EXPECT_EQ(model_->operationProgress(), progress);  // failures keep the sheet open
    EXPECT_EQ(saves_ - savesBefore, 1);

    auto [kept, oversized] = BulkOperationRunner::splitOversizedCandidates(fakeRows({2147483647u, 2147483648u, 1}),
                                                                           BulkOperationRunner::formatLimitBytes);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].id, test::rowId("r0"));
    EXPECT_EQ(kept[1].id, test::rowId("r2"));
    ASSERT_EQ(oversized.size(), 1u);
    EXPECT_EQ(BulkOperationRunner::concurrencyFor(0), 1);
    EXPECT_EQ(BulkOperationRunner::concurrencyFor(5), 5);
    EXPECT_EQ(BulkOperationRunner::concurrencyFor(20), 8);
}

TEST_F(BulkRunTest, KnownIncompressiblePathThatNowCompressesLosesItsRecord)
{
    std::mt19937 rng(9);
    const fs::path file = write(dir_ / "data" / "now-fine.txt", test::textBytes(rng, 30000));
    container_->mainContext().insert(
        std::make_shared<store::IncompressibleFile>(file.string(), std::chrono::system_clock::now(), 30000));
    container_->mainContext().insert(
        std::make_shared<store::IncompressibleFile>("/elsewhere/x", std::chrono::system_clock::now(), 1));
    container_->mainContext().save();

    DisplayRow row;
    row.id = RowId::registered({});
    row.url = file;
    row.logicalSize = 30000;
    const auto progress = runToEnd(Kind::compress, {row});
    ASSERT_TRUE(progress);
    const auto left = container_->makeContext(store::ModelContext::Access::readOnly)
                          ->fetch(store::FetchDescriptor<store::IncompressibleFile>());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]->targetPath(), "/elsewhere/x");
    EXPECT_TRUE(progress->clearedIncompressiblePaths().empty());
}

// The runner needs no window: it hands back its progress and task, and the
// progress counts each file once as the workers report.
TEST_F(BulkRunTest, RunnerReportsThroughItsProgressWithoutAWindow)
{
    std::mt19937 rng(5);
    std::vector<DisplayRow> rows;
    for (int i = 0; i < 12; ++i) {
        DisplayRow row;
        row.id = test::rowId("r" + std::to_string(i));
        row.url = write(dir_ / "solo" / (row.id.path.string() + ".txt"), test::textBytes(rng, 20000));
        row.displayName = row.url.filename().string();
        row.logicalSize = 20000;
        rows.push_back(row);
    }
    const BulkOperationRunner::Run run = BulkOperationRunner::startOperation(Kind::compress, rows, nullptr, nullptr);
    ASSERT_TRUE(run.progress);
    EXPECT_EQ(run.progress->task(), run.task);
    std::vector<int> counts;
    int completions = 0;
    QObject::connect(run.progress.get(), &OperationProgress::currentChanged,
                     [&] { counts.push_back(run.progress->current()); });
    QObject::connect(run.progress.get(), &OperationProgress::completedAtChanged, [&] { ++completions; });
    ASSERT_TRUE(test::waitUntil([&] { return run.task.isFinished(); }));
    EXPECT_TRUE(run.progress->isFinished());
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_FALSE(BulkOperationRunner::closesByItself(*run.progress));  // more than ten files
    for (const DisplayRow& row : rows)
        EXPECT_TRUE(isCompressedOnDisk(row.url)) << row.url;
    EXPECT_EQ(model_->operationProgress(), nullptr);
}

}  // namespace
}  // namespace kelvane::operations
