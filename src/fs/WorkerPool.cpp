// SPDX-License-Identifier: MIT
#include "fs/WorkerPool.h"

#include <algorithm>
#include <atomic>

namespace kelvane::fs {

struct WorkerPool::Batch {
    std::size_t count = 0;
    const std::function<void(std::size_t)>* body = nullptr;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t done = 0;  // under `mutex`
};

WorkerPool::WorkerPool(unsigned threads) : threadCount_(threads) {}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void WorkerPool::work(Batch& batch)
{
    std::size_t mine = 0;
    for (std::size_t index; (index = batch.next.fetch_add(1)) < batch.count; ++mine)
        (*batch.body)(index);
    if (mine == 0)
        return;
    std::lock_guard lock(batch.mutex);
    batch.done += mine;
    if (batch.done == batch.count)
        batch.finished.notify_all();
}

void WorkerPool::forEach(std::size_t count, const std::function<void(std::size_t)>& body)
{
    if (count == 0)
        return;
    const std::size_t helpers = std::min<std::size_t>(threadCount_, count - 1);
    if (helpers == 0) {
        for (std::size_t index = 0; index < count; ++index)
            body(index);
        return;
    }
    auto batch = std::make_shared<Batch>();
    batch->count = count;
    batch->body = &body;
    {
        std::lock_guard lock(mutex_);
        while (threads_.size() < threadCount_)
            threads_.emplace_back([this] { worker(); });
        for (std::size_t i = 0; i < helpers; ++i)
            waiting_.push_back(batch);
    }
    for (std::size_t i = 0; i < helpers; ++i)
        wake_.notify_one();
    work(*batch);
    // `body` lives in the caller's frame: no helper may still be in it when
    // this returns. A helper that comes late finds nothing left and never
    // touches it.
    std::unique_lock lock(batch->mutex);
    batch->finished.wait(lock, [&] { return batch->done == batch->count; });
}

void WorkerPool::worker()
{
    for (;;) {
        std::shared_ptr<Batch> batch;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_)
                return;
            batch = std::move(waiting_.front());
            waiting_.pop_front();
        }
        work(*batch);
    }
}

}  // namespace kelvane::fs
