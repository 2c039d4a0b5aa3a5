// SPDX-License-Identifier: MIT
#include "operations/bulk/BulkPersistence.h"
#include "operations/bulk/HistoryRetention.h"

#include "platform/qt/Settings.h"
#include "store/CompressionLog.h"
#include "store/IncompressibleFile.h"

#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace kelvane::operations {
namespace {

using store::CompressionLog;
using store::IncompressibleFile;
using Clock = std::chrono::system_clock;
namespace keys = platform::settings_keys;

class StoreTest : public test::StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        observer_ = container_->addSaveObserver([this](const store::SaveNotification&) { ++saves_; });
    }
    void TearDown() override { container_->removeSaveObserver(observer_); }

    void addLog(Clock::time_point at, const std::string& path)
    {
        container_->mainContext().insert(
            std::make_shared<CompressionLog>(store::Uuid::random(), at, "compress", path, 10, 5, "LZFSE", 1, true));
    }
    std::vector<std::shared_ptr<CompressionLog>> storedLogs()
    {
        return container_->makeContext(store::ModelContext::Access::readOnly)
            ->fetch(store::FetchDescriptor<CompressionLog>());
    }

    std::uint64_t observer_ = 0;
    int saves_ = 0;
};

TEST_F(StoreTest, PruneKeepsTheNewestWithinTheAgeLimit)
{
    const auto now = Clock::now();
    for (int i = 0; i < 3; ++i)
        addLog(now - std::chrono::hours(24 * (100 + i)), "old" + std::to_string(i));
    for (int i = 0; i < 127; ++i)
        addLog(now - std::chrono::minutes(i + 1), "recent" + std::to_string(i));
    container_->mainContext().save();
    saves_ = 0;

    platform::Settings settings;
    settings.setValue(keys::logRetentionMaxCount, 100);
    HistoryRetention::pruneLogs(container_->mainContext(), settings);
    EXPECT_EQ(saves_, 1);
    const auto left = storedLogs();
    ASSERT_EQ(left.size(), 100u);
    for (const auto& log : left) {
        ASSERT_EQ(log->targetPath().rfind("recent", 0), 0u);
        EXPECT_LT(std::stoi(log->targetPath().substr(6)), 100);  // the 100 newest
    }

    // Within both limits: nothing deleted, nothing saved.
    HistoryRetention::pruneLogs(container_->mainContext(), settings);
    EXPECT_EQ(saves_, 1);
}

TEST_F(StoreTest, StoredZeroOrJunkNeverEmptiesTheHistory)
{
    addLog(Clock::now() - std::chrono::hours(2), "a");
    addLog(Clock::now() - std::chrono::hours(30), "b");
    container_->mainContext().save();
    platform::Settings settings;
    settings.setValue(keys::logRetentionDays, 0);
    settings.setValue(keys::logRetentionMaxCount, 0);
    EXPECT_EQ(HistoryRetention::retentionDays(settings), 1);
    EXPECT_EQ(HistoryRetention::retentionMaxCount(settings), 100);
    HistoryRetention::pruneLogs(container_->mainContext(), settings);
    const auto left = storedLogs();
    ASSERT_EQ(left.size(), 1u);  // only the record older than one day went
    EXPECT_EQ(left[0]->targetPath(), "a");

    settings.setValue(keys::logRetentionDays, 99999);
    settings.setValue(keys::logRetentionMaxCount, -5);
    EXPECT_EQ(HistoryRetention::retentionDays(settings), 365);
    EXPECT_EQ(HistoryRetention::retentionMaxCount(settings), 100);
    settings.setValue(platform::StringSetting{"logRetentionDays", ""}, QStringLiteral("abc"));
    EXPECT_EQ(HistoryRetention::retentionDays(settings), 90);

    // An empty history: no save.
    container_->mainContext().remove(left[0]);
    container_->mainContext().save();
    saves_ = 0;
    HistoryRetention::pruneLogs(container_->mainContext(), settings);
    EXPECT_EQ(saves_, 0);
}

TEST_F(StoreTest, BatchedWriteUpsertsIncompressibleFilesAndEmptiesItsQueues)
{
    auto& context = container_->mainContext();
    const auto earlier = Clock::now() - std::chrono::hours(48);
    context.insert(std::make_shared<IncompressibleFile>("/d/known", earlier, 1));
    context.insert(std::make_shared<IncompressibleFile>("/d/stale", earlier, 2));
    context.save();
    saves_ = 0;

    OperationProgress progress(ActiveOperation::Kind::compress, 4, 100, 4);
    OperationProgress::PendingLog log;
    log.operation = "compress";
    log.targetPath = "/d/ok";
    log.sizeBefore = 100;
    log.sizeAfter = 40;
    log.algorithm = "LZFSE";
    log.durationMs = 3;
    log.success = true;
    log.executedAt = Clock::now();
    progress.appendPendingLog(log);
    progress.appendPendingIncompressible({"/d/new", 50});
    progress.appendPendingIncompressible({"/d/new", 999});
    progress.appendPendingIncompressible({"/d/known", 70});
    progress.insertClearedIncompressiblePath("/d/stale");
    progress.insertIncompressibleRowID(test::rowId("row-new"));

    BulkPersistence::flushPendingRecords(progress, context);
    EXPECT_EQ(saves_, 1);
    EXPECT_TRUE(progress.pendingLogs().empty());
    EXPECT_TRUE(progress.pendingIncompressibleEntries().empty());
    EXPECT_TRUE(progress.clearedIncompressiblePaths().empty());
    EXPECT_EQ(progress.incompressibleRowIDs().size(), 1u);

    auto reader = container_->makeContext(store::ModelContext::Access::readOnly);
    const auto logs = reader->fetch(store::FetchDescriptor<CompressionLog>());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0]->values(), log);  // every field, the time to the nanosecond
    std::map<std::string, std::shared_ptr<IncompressibleFile>> byPath;
    for (auto& record : reader->fetch(store::FetchDescriptor<IncompressibleFile>()))
        byPath[record->targetPath()] = record;
    ASSERT_EQ(byPath.size(), 2u);
    EXPECT_EQ(byPath.at("/d/new")->sizeAtRecord(), 50);
    EXPECT_EQ(byPath.at("/d/known")->sizeAtRecord(), 70);
    EXPECT_EQ(byPath.at("/d/new")->recordedAt(), byPath.at("/d/known")->recordedAt());
    EXPECT_GT(byPath.at("/d/known")->recordedAt(), earlier);
    EXPECT_EQ(BulkPersistence::loadIncompressiblePaths(context), (std::set<std::string>{"/d/known", "/d/new"}));
}

TEST_F(StoreTest, AFailedFetchIsLoggedWithoutPathsAndTheLogsStillReachTheStore)
{
    // Another program took the table away: every fetch of it fails.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ / "store.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "DROP TABLE IncompressibleFile", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    const std::string marker = "incompressible records fetch failed";
    const std::size_t before = test::logLines(marker).size();

    auto& context = container_->mainContext();
    OperationProgress progress(ActiveOperation::Kind::compress, 1, 100, 1);
    OperationProgress::PendingLog log;
    log.operation = "compress";
    log.targetPath = "/secret/ok";
    log.executedAt = Clock::now();
    progress.appendPendingLog(log);
    progress.insertClearedIncompressiblePath("/secret/stale");
    BulkPersistence::flushPendingRecords(progress, context);
    EXPECT_TRUE(progress.clearedIncompressiblePaths().empty());
    EXPECT_EQ(saves_, 1);
    EXPECT_EQ(storedLogs().size(), 1u);
    EXPECT_TRUE(BulkPersistence::loadIncompressiblePaths(context).empty());

    const auto lines = test::logLines(marker);
    ASSERT_EQ(lines.size(), before + 2) << "the clearing and the loading each leave a line";
    EXPECT_NE(lines[before].find("none cleared"), std::string::npos) << lines[before];
    EXPECT_NE(lines[before + 1].find("none skipped"), std::string::npos) << lines[before + 1];
    for (const auto& line : lines)
        EXPECT_EQ(line.find("/secret"), std::string::npos) << line;
}

}  // namespace
}  // namespace kelvane::operations
