// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvane::fs {

// A few threads that help a caller through a batch of independent jobs:
// the probes of a folder listing, whose system calls wait on the disk one at
// a time when run in a row.
class WorkerPool {
public:
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs `body(i)` for every i below `count`, on the caller's thread and on
    // idle pool threads, and returns once every call has returned. Calls may
    // run in any order and at the same time.
    void forEach(std::size_t count, const std::function<void(std::size_t)>& body);

private:
    struct Batch;

    void worker();
    static void work(Batch& batch);

    const unsigned threadCount_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Batch>> waiting_;  // one entry per helper wanted
    bool stopping_ = false;
    std::vector<std::thread> threads_;  // started with the first batch (after a daemon's fork)
};

}  // namespace kelvane::fs
