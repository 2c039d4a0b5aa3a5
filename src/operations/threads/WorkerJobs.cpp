// SPDX-License-Identifier: MIT
#include "operations/threads/WorkerJobs.h"

#include <algorithm>
#include <condition_variable>
#include <exception>

namespace kelvane::operations {

std::vector<Slice> sliceEvenly(std::size_t count, std::size_t workers)
{
    std::vector<Slice> slices;
    if (count == 0 || workers == 0)
        return slices;
    const std::size_t step = std::max<std::size_t>((count + workers - 1) / workers, 1);
    for (std::size_t begin = 0; begin < count; begin += step)
        slices.push_back({begin, std::min(begin + step, count)});
    return slices;
}

void runSlicesInParallel(std::size_t count, const std::function<void(std::size_t)>& job)
{
    std::vector<std::exception_ptr> failures(count);
    const auto run = [&](std::size_t index) {
        try {
            job(index);
        } catch (...) {
            failures[index] = std::current_exception();
        }
    };
    std::mutex mutex;
    std::condition_variable allDone;
    std::size_t running = 0;
    std::size_t own = 0;  // jobs from here on run on this thread
    for (; own + 1 < count; ++own) {
        {
            std::lock_guard lock(mutex);
            ++running;
        }
        const bool started = workerPool().tryStart([&, own] {
            run(own);
            std::lock_guard lock(mutex);
            if (--running == 0)
                allDone.notify_all();  // under the lock: the waiter's frame outlives it
        });
        if (!started) {
            std::lock_guard lock(mutex);
            --running;
            break;
        }
    }
    for (; own < count; ++own)
        run(own);
    std::unique_lock lock(mutex);
    allDone.wait(lock, [&] { return running == 0; });
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

}  // namespace kelvane::operations
