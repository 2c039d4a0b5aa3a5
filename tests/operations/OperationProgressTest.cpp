// SPDX-License-Identifier: MIT
#include "operations/bulk/MemoryMonitor.h"
#include "operations/bulk/OperationProgress.h"
#include "operations/folders/ScanActivity.h"

#include <QMetaProperty>

#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

namespace kelvane::operations {
namespace {

using Clock = OperationProgress::Clock;
using std::chrono::seconds;

TEST(OperationProgress, SpeedAndRemainingTimeLeaveSkippedFilesOut)
{
    test::application();
    OperationProgress progress(ActiveOperation::Kind::compress, 10, 1000, 4);
    const auto t0 = progress.startedAt();
    EXPECT_FALSE(progress.bytesPerSecond(t0 + std::chrono::milliseconds(100)));
    EXPECT_FALSE(progress.estimatedRemainingSeconds(t0 + seconds(6)));

    // Four finished, one of them skipped: the pace of three decides.
    progress.addCurrent(4);
    progress.addSkippedCount(1);
    ASSERT_TRUE(progress.estimatedRemainingSeconds(t0 + seconds(6)));
    EXPECT_DOUBLE_EQ(*progress.estimatedRemainingSeconds(t0 + seconds(6)), 12.0);

    // Everything processed so far was skipped: no speed.
    progress.addBytesProcessedSoFar(300);
    progress.addSkippedBytes(300);
    EXPECT_FALSE(progress.bytesPerSecond(t0 + seconds(6)));
    progress.addBytesProcessedSoFar(600);
    EXPECT_DOUBLE_EQ(*progress.bytesPerSecond(t0 + seconds(6)), 100.0);

    // Once finished the speed is frozen and no time is left.
    progress.setCompletedAt(t0 + seconds(3));
    EXPECT_DOUBLE_EQ(*progress.bytesPerSecond(t0 + seconds(600)), 200.0);
    EXPECT_FALSE(progress.estimatedRemainingSeconds(t0 + seconds(6)));

    OperationProgress skippedOnly(ActiveOperation::Kind::compress, 10, 1000, 4);
    skippedOnly.addCurrent(3);
    skippedOnly.addSkippedCount(3);
    EXPECT_FALSE(skippedOnly.estimatedRemainingSeconds(skippedOnly.startedAt() + seconds(5)));
}

TEST(OperationProgress, EveryChangeIsAnnouncedOnceAndAnEqualValueNotAtAll)
{
    test::application();
    OperationProgress progress(ActiveOperation::Kind::decompress, 3, 30, 3);
    int names = 0, cancelled = 0, counters = 0, logs = 0, ids = 0, failures = 0;
    QObject::connect(&progress, &OperationProgress::currentFileNameChanged, [&] { ++names; });
    QObject::connect(&progress, &OperationProgress::wasCancelledChanged, [&] { ++cancelled; });
    QObject::connect(&progress, &OperationProgress::currentChanged, [&] { ++counters; });
    QObject::connect(&progress, &OperationProgress::pendingLogsChanged, [&] { ++logs; });
    QObject::connect(&progress, &OperationProgress::incompressibleRowIDsChanged, [&] { ++ids; });
    QObject::connect(&progress, &OperationProgress::failuresChanged, [&] { ++failures; });

    progress.setCurrentFileName("a.txt");
    progress.setCurrentFileName("a.txt");
    EXPECT_EQ(names, 1);

    // A zero step changes nothing; a real one is announced once.
    progress.setCurrent(0);
    progress.addCurrent(0);
    EXPECT_EQ(counters, 0);
    progress.addCurrent(2);
    EXPECT_EQ(progress.current(), 2);
    EXPECT_EQ(counters, 1);

    progress.setPendingLogs({});
    EXPECT_EQ(logs, 0);
    OperationProgress::PendingLog log;
    log.targetPath = "/a.txt";
    progress.appendPendingLog(log);
    progress.setPendingLogs({log});  // the same list again
    EXPECT_EQ(logs, 1);
    log.sizeAfter = 1;
    progress.setPendingLogs({log});
    EXPECT_EQ(logs, 2);

    progress.insertIncompressibleRowID(test::rowId("row"));
    progress.insertIncompressibleRowID(test::rowId("row"));
    EXPECT_EQ(ids, 1);
    // Two equal failures are two failures.
    const OperationProgress::Failure failure{store::Uuid::random(), "a.txt", "why"};
    progress.appendFailure(failure);
    progress.appendFailure(failure);
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(progress.failures().size(), 2u);

    TaskHandle task;
    progress.setTask(task);
    progress.cancel();
    progress.cancel();
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(task.isCancelled());
    EXPECT_FALSE(progress.isFinished());
}

// Every property of the window state names the signal that announces it,
// so a view can bind to any of them.
TEST(OperationProgress, EveryPropertyOfTheWindowStateHasItsChangeSignal)
{
    test::application();
    const auto check = [](const QMetaObject& meta, std::initializer_list<std::pair<const char*, const char*>> named) {
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
            EXPECT_TRUE(meta.property(i).hasNotifySignal()) << meta.className() << "." << meta.property(i).name();
        for (const auto& [property, signal] : named) {
            const int index = meta.indexOfProperty(property);
            ASSERT_GE(index, 0) << property;
            EXPECT_EQ(meta.property(index).notifySignal().name(), QByteArray(signal)) << property;
        }
    };
    check(OperationProgress::staticMetaObject, {{"current", "currentChanged"},
                                                {"failures", "failuresChanged"},
                                                {"completedAt", "completedAtChanged"},
                                                {"peakMemoryBytes", "peakMemoryBytesChanged"}});
    check(ScanActivity::staticMetaObject, {{"phase", "phaseChanged"}, {"folderIndex", "folderIndexChanged"}});
    check(MainWindowModel::staticMetaObject, {{"operationProgress", "operationProgressChanged"},
                                              {"scanActivity", "scanActivityChanged"},
                                              {"loadingFolders", "loadingFoldersChanged"},
                                              {"errorMessage", "errorMessageChanged"},
                                              {"minStars", "filtersChanged"},
                                              {"displayedRows", "derivedRowsChanged"}});
    EXPECT_GE(OperationProgress::staticMetaObject.propertyCount() - OperationProgress::staticMetaObject.propertyOffset(), 19);
}

class WindowModelSignals : public test::ModelFixture {};

TEST_F(WindowModelSignals, SettersAnnounceOnlyRealChanges)
{
    int errors = 0, loading = 0, progresses = 0, filters = 0, items = 0;
    QObject::connect(model_.get(), &MainWindowModel::errorMessageChanged, [&] { ++errors; });
    QObject::connect(model_.get(), &MainWindowModel::loadingFoldersChanged, [&] { ++loading; });
    QObject::connect(model_.get(), &MainWindowModel::operationProgressChanged, [&] { ++progresses; });
    QObject::connect(model_.get(), &MainWindowModel::filtersChanged, [&] { ++filters; });
    QObject::connect(model_.get(), &MainWindowModel::itemsChanged, [&] { ++items; });

    model_->setErrorMessage("x");
    model_->setErrorMessage("x");
    model_->setErrorMessage(std::nullopt);
    EXPECT_EQ(errors, 2);

    const store::Uuid folder = store::Uuid::random();
    model_->insertLoadingFolder(folder);
    model_->insertLoadingFolder(folder);
    model_->removeLoadingFolder(folder);
    model_->removeLoadingFolder(folder);
    EXPECT_EQ(loading, 2);

    auto progress = std::make_shared<OperationProgress>(ActiveOperation::Kind::compress, 1, 1, 1);
    model_->setOperationProgress(progress);
    model_->setOperationProgress(progress);
    EXPECT_EQ(progresses, 1);

    model_->setMinStars(model_->minStars());
    model_->setSearchQuery("doc");
    model_->setSearchQuery("doc");
    EXPECT_EQ(filters, 1);

    model_->setItems({});
    EXPECT_EQ(items, 0);

    // A refresh that comes to the same rows announces nothing.
    int derived = 0;
    QObject::connect(model_.get(), &MainWindowModel::derivedRowsChanged, [&] { ++derived; });
    const auto refresh = [&] {
        const TaskHandle task = model_->refreshDerivedRows();
        return test::waitUntil([&] { return task.isFinished(); });
    };
    kelvane::test::writeRawFile(dir_ / "doc.txt", std::vector<std::uint8_t>(5000, 'a'));
    model_->setItems({test::registerItem(container_->mainContext(), dir_ / "doc.txt", ItemKind::file)});
    ASSERT_TRUE(refresh());
    EXPECT_EQ(derived, 1);
    EXPECT_EQ(model_->displayedRows().size(), 1u);
    ASSERT_TRUE(refresh());
    EXPECT_EQ(derived, 1);
    model_->setSearchQuery("nothing like it");
    ASSERT_TRUE(refresh());
    EXPECT_EQ(derived, 2);
    EXPECT_TRUE(model_->displayedRows().empty());
}

TEST(MemoryMonitor, ProbesReadTheKernelAndParseKilobyteFields)
{
    EXPECT_GT(MemoryMonitor::currentFootprintBytes(), 0u);
    EXPECT_GT(MemoryMonitor::availableMemoryBytes(), 0u);
    EXPECT_GT(MemoryMonitor::physicalMemoryBytes(), MemoryMonitor::availableMemoryBytes());

    bool found = false;
    EXPECT_EQ(MemoryMonitor::sumKilobyteFields("Name:\tx\nRssAnon:\t  100 kB\nVmSwap:\t 3 kB\nRssFile: 7 kB\n",
                                               {"RssAnon", "VmSwap"}, found),
              103u * 1024);
    EXPECT_TRUE(found);
    EXPECT_EQ(MemoryMonitor::sumKilobyteFields("RssAnonymous: 5 kB\nVmSwap: junk\n", {"RssAnon", "VmSwap"}, found), 0u);
    EXPECT_FALSE(found);
}

}  // namespace
}  // namespace kelvane::operations
