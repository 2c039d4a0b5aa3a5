// SPDX-License-Identifier: MIT
#include "fs/RequestPool.h"

#include <algorithm>

namespace kelvane::fs {

RequestPool::RequestPool(unsigned threads) : threadCount_(std::max(threads, 1u)) {}

RequestPool::~RequestPool()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (Idle* idle : idle_)
            idle->wake.notify_one();
    }
    for (std::thread& thread : threads_)
        thread.join();
}

void RequestPool::submit(std::function<void()> job)
{
    std::lock_guard lock(mutex_);
    while (threads_.size() < threadCount_)
        threads_.emplace_back([this] { worker(); });
    jobs_.push_back(std::move(job));
    if (!idle_.empty()) {
        Idle* last = idle_.back();
        idle_.pop_back();
        last->called = true;
        last->wake.notify_one();
    }
}

bool RequestPool::drain(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return drained_.wait_for(lock, limit, [this] { return jobs_.empty() && running_ == 0; });
}

void RequestPool::worker()
{
    Idle self;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_)
            return;
        if (!jobs_.empty()) {
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            ++running_;
            lock.unlock();
            job();
            lock.lock();
            if (--running_ == 0 && jobs_.empty())
                drained_.notify_all();
            continue;
        }
        self.called = false;
        idle_.push_back(&self);
        self.wake.wait(lock, [&] { return self.called || stopping_; });
        if (!self.called)
            idle_.erase(std::find(idle_.begin(), idle_.end(), &self));
    }
}

}  // namespace kelvane::fs
