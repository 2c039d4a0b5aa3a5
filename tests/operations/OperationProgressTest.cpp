#include "operations/MemoryMonitor.h"
#include "operations/OperationProgress.h"

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

TEST(OperationProgress, AssignmentsAnnounceChangesInPlaceUpdatesAlways)
{
    test::application();
    OperationProgress progress(ActiveOperation::Kind::decompress, 3, 30, 3);
    int names = 0, cancelled = 0, counters = 0, logs = 0;
    QObject::connect(&progress, &OperationProgress::currentFileNameChanged, [&] { ++names; });
    QObject::connect(&progress, &OperationProgress::wasCancelledChanged, [&] { ++cancelled; });
    QObject::connect(&progress, &OperationProgress::currentChanged, [&] { ++counters; });
    QObject::connect(&progress, &OperationProgress::pendingLogsChanged, [&] { ++logs; });

    progress.setCurrentFileName("a.txt");
    progress.setCurrentFileName("a.txt");
    EXPECT_EQ(names, 1);
    progress.setCurrent(0);
    progress.addCurrent(0);
    EXPECT_EQ(counters, 1);
    progress.setPendingLogs({});
    progress.setPendingLogs({});
    EXPECT_EQ(logs, 2);

    TaskHandle task;
    progress.setTask(task);
    progress.cancel();
    progress.cancel();
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(task.isCancelled());
    EXPECT_FALSE(progress.isFinished());
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
