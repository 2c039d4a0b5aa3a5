#pragma once

#include "operations/MainThread.h"

#include <QRunnable>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kelvane::operations {

// Runs every job on the worker pool at once and, when the last has returned,
// hands their results (in finishing order) to `done` on the main thread.
// Jobs run off the main thread and must hold no reference that keeps a
// main-thread object alive; `done` may, since it is only ever destroyed
// after it has run on the main thread. No jobs: `done` is queued at once.
template <class R>
void runOnWorkers(std::vector<std::function<R()>> jobs, std::function<void(std::vector<R>)> done,
                  int priority = 0)
{
    struct Shared {
        std::mutex mutex;
        std::vector<R> results;
        std::size_t remaining = 0;
        std::function<void(std::vector<R>)> done;
    };
    auto shared = std::make_shared<Shared>();
    shared->remaining = jobs.size();
    shared->results.reserve(jobs.size());
    shared->done = std::move(done);
    if (jobs.empty()) {
        postToMainThread([done = std::move(shared->done)] { done({}); });
        return;
    }
    for (auto& job : jobs) {
        workerPool().start(QRunnable::create([shared, job = std::move(job)]() mutable {
            R result = job();
            job = nullptr;
            std::unique_lock lock(shared->mutex);
            shared->results.push_back(std::move(result));
            if (--shared->remaining != 0)
                return;
            auto results = std::move(shared->results);
            auto finish = std::move(shared->done);
            lock.unlock();
            postToMainThread([finish = std::move(finish), results = std::move(results)]() mutable {
                finish(std::move(results));
            });
        }), priority);
    }
}

// The slices that parallel inspections cut a list into: steps of
// ceil(count / workers) (at least 1) in order, the last one holding the rest,
// so there are at most `workers` slices and none is empty.
struct Slice {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool operator==(const Slice&) const = default;
};
std::vector<Slice> sliceEvenly(std::size_t count, std::size_t workers);

// Runs job(0) ... job(count - 1) and returns once all have run: each on a
// pool thread that is free at once, the rest on the calling thread (so it
// never waits for a busy pool). Rethrows the first failure, in job order.
void runSlicesInParallel(std::size_t count, const std::function<void(std::size_t)>& job);

}  // namespace kelvane::operations
