// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvane::fs {

// Threads for the requests that may wait (reads that decode, writes,
// decompressions, fsync, flock): the thread that reads requests hands them
// over and goes on with the next one. The thread that went idle last takes
// the next job, so that a lone reader keeps being served by one warm thread.
class RequestPool {
public:
    explicit RequestPool(unsigned threads);
    ~RequestPool();
    RequestPool(const RequestPool&) = delete;
    RequestPool& operator=(const RequestPool&) = delete;

    // Runs `job` on a pool thread, soon; jobs run in the order given as
    // threads come free.
    void submit(std::function<void()> job);

    // Waits until every job given has run, at most `limit`: whether they
    // have. Jobs answer through the session, which must outlive them.
    bool drain(std::chrono::milliseconds limit);

private:
    struct Idle {
        std::condition_variable wake;
        bool called = false;
    };

    void worker();

    const unsigned threadCount_;
    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    std::vector<Idle*> idle_;  // back: went idle last
    std::size_t running_ = 0;
    std::condition_variable drained_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;  // started with the first job (after a daemon's fork)
};

}  // namespace kelvane::fs
