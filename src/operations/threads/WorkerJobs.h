// SPDX-License-Identifier: MIT
#pragma once

#include "operations/threads/MainThread.h"

#include <QRunnable>
#include <QThreadPool>

#include "operations/threads/TaskHandle.h"

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
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

// What one background task came to: its result, or the failure it threw
// (the discovery layer's CancellationError once it was cancelled).
template <class R>
struct TaskOutcome {
    std::optional<R> value;
    std::exception_ptr failure;

    // The result; rethrows the failure.
    R get() &&
    {
        if (failure)
            std::rethrow_exception(failure);
        return std::move(*value);
    }
};

// Runs `work` on the worker pool; `done` gets its outcome on the main thread.
template <class R>
void runForOutcome(std::function<R()> work, std::function<void(TaskOutcome<R>)> done)
{
    std::vector<std::function<TaskOutcome<R>()>> jobs{[work = std::move(work)] {
        TaskOutcome<R> outcome;
        try {
            outcome.value.emplace(work());
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        return outcome;
    }};
    runOnWorkers<TaskOutcome<R>>(std::move(jobs), [done = std::move(done)](std::vector<TaskOutcome<R>> all) {
        done(std::move(all.front()));
    });
}

// The same under a new task, returned at once. The work gets the task's stop
// token (a search or a count stops at its next entry); what it wants to
// report on the way it posts to the main thread. The task finishes after
// `done` has run.
template <class R>
TaskHandle runTask(std::function<R(std::stop_token)> work, std::function<void(TaskOutcome<R>)> done)
{
    TaskHandle task;
    runForOutcome<R>([work = std::move(work), stop = task.stopToken()] { return work(stop); },
                     [task, done = std::move(done)](TaskOutcome<R> outcome) {
                         done(std::move(outcome));
                         task.finish();
                     });
    return task;
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
