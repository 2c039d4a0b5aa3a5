// SPDX-License-Identifier: MIT
#include "operations/sheets/SheetSearch.h"

#include "OperationsTestSupport.h"
#include "operations/threads/MainThread.h"

#include <QThreadPool>

#include <fstream>

namespace kelvane::operations::test {
namespace {

// The worker has found every file long before the window has taken them in;
// then "停止" is pressed. Nothing found after the press reaches the window,
// and the search ends at once, as stopped.
TEST(SheetSearchTest, AStopDropsWhatTheWindowHasNotTakenYetAndEndsAsStopped)
{
    application();
    kelvane::test::TempDir dir;
    constexpr int files = 6000;  // three hand-overs' worth
    for (int i = 0; i < files; ++i)
        std::ofstream(dir.path() / ("f" + std::to_string(i) + ".log")) << "x";
    discovery::SearchCriteria criteria;
    criteria.rootURL = dir.path();

    TaskHandle task;
    int deliveries = 0;
    std::size_t delivered = 0;
    std::optional<SheetSearchEnd> end;
    SheetSearchCallbacks callbacks;
    callbacks.isCurrent = [] { return true; };
    callbacks.matches = [&](std::vector<discovery::FileCandidate> found) {
        ++deliveries;
        delivered += found.size();
        if (deliveries > 1)
            return;
        // Held here until the walk is over: the rest is all waiting.
        workerPool().waitForDone();
        task.cancel();
    };
    callbacks.end = [&](const SheetSearchEnd& e) { end = e; };
    task = runSheetSearch(criteria, std::move(callbacks));

    ASSERT_TRUE(waitUntil([&] { return end.has_value(); }));
    EXPECT_EQ(deliveries, 1);
    EXPECT_LT(delivered, std::size_t{files});
    EXPECT_EQ(end->kind, SheetSearchEnd::Kind::cancelled);
}

}  // namespace
}  // namespace kelvane::operations::test
