// SPDX-License-Identifier: MIT
// The pool that serves the requests which may wait: every job runs once,
// jobs run side by side up to the pool's size, and a job given while every
// thread is busy waits for one instead of being lost.

#include "fs/RequestPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvane::fs {
namespace {

TEST(RequestPoolTest, EveryJobRunsOnceWhenGivenFromSeveralThreads)
{
    constexpr int kGivers = 4, kJobs = 500;
    std::vector<std::atomic<int>> runs(kGivers * kJobs);
    std::atomic<int> finished = 0;
    std::promise<void> allDone;
    {
        RequestPool pool(3);
        std::vector<std::thread> givers;
        for (int g = 0; g < kGivers; ++g) {
            givers.emplace_back([&, g] {
                for (int j = 0; j < kJobs; ++j) {
                    pool.submit([&, index = g * kJobs + j] {
                        runs[static_cast<std::size_t>(index)].fetch_add(1);
                        if (finished.fetch_add(1) + 1 == kGivers * kJobs)
                            allDone.set_value();
                    });
                }
            });
        }
        for (auto& giver : givers)
            giver.join();
        ASSERT_EQ(allDone.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    }
    int wrong = 0;
    for (const auto& run : runs)
        wrong += run.load() != 1;
    EXPECT_EQ(wrong, 0);
}

// Three jobs that each wait for all three to have started finish only when
// three threads run them at once; a fourth, given while they hold every
// thread, runs once one comes free.
TEST(RequestPoolTest, JobsRunSideBySideAndALaterOneWaitsForAFreeThread)
{
    RequestPool pool(3);
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    int metTheOthers = 0;
    bool fourthRan = false;
    for (int i = 0; i < 3; ++i) {
        pool.submit([&] {
            std::unique_lock lock(mutex);
            ++started;
            changed.notify_all();
            if (changed.wait_for(lock, std::chrono::seconds(30), [&] { return started == 3; }))
                ++metTheOthers;
            changed.notify_all();
        });
    }
    pool.submit([&] {
        std::lock_guard lock(mutex);
        fourthRan = true;
        changed.notify_all();
    });
    std::unique_lock lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return fourthRan && metTheOthers == 3; }));
    EXPECT_EQ(metTheOthers, 3);
}

// The daemon lets its session go only once the pool has answered: a job
// still held keeps drain() from saying so, and its end lets it.
TEST(RequestPoolTest, DrainSaysWhetherEveryJobHasRun)
{
    RequestPool pool(2);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> ran = 0;
    pool.submit([&] {
        released.wait();
        ++ran;
    });
    for (int i = 0; i < 5; ++i)
        pool.submit([&] { ++ran; });
    EXPECT_FALSE(pool.drain(std::chrono::milliseconds(100)));
    release.set_value();
    EXPECT_TRUE(pool.drain(std::chrono::seconds(30)));
    EXPECT_EQ(ran, 6);
}

}  // namespace
}  // namespace kelvane::fs
