// SPDX-License-Identifier: MIT
// The helpers of a folder listing: every job of a batch runs exactly once,
// really in parallel, and the call returns only when all of it is done.

#include "fs/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvane::fs {
namespace {

TEST(WorkerPoolTest, EveryJobRunsOnceAndIsDoneWhenTheCallReturnsAlsoWithCallersAtOnce)
{
    WorkerPool pool(3);
    constexpr int kCallers = 4, kBatches = 200;
    std::atomic<int> wrong = 0;
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            for (int batch = 0; batch < kBatches; ++batch) {
                const std::size_t count = static_cast<std::size_t>((batch * 7 + c) % 40);  // 0 and 1 included
                std::vector<std::atomic<int>> runs(count);
                pool.forEach(count, [&](std::size_t index) {
                    // Long enough that helpers are still at it when the caller runs out.
                    for (int spin = 0; spin < 2000; ++spin)
                        std::atomic_signal_fence(std::memory_order_seq_cst);
                    runs[index].fetch_add(1);
                });
                for (const auto& run : runs)
                    wrong += run.load() != 1;
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(wrong, 0);
}

// Two jobs that each wait for the other to have started: they finish only
// when they run at the same time (one after the other, both time out).
TEST(WorkerPoolTest, JobsOfOneBatchRunAtTheSameTime)
{
    WorkerPool pool(1);
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    std::atomic<int> metTheOther = 0;
    pool.forEach(2, [&](std::size_t) {
        std::unique_lock lock(mutex);
        ++started;
        changed.notify_all();
        if (changed.wait_for(lock, std::chrono::seconds(30), [&] { return started == 2; }))
            ++metTheOther;
    });
    EXPECT_EQ(metTheOther, 2);
}

}  // namespace
}  // namespace kelvane::fs
