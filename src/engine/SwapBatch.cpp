// SPDX-License-Identifier: MIT
#include "engine/SwapBatch.h"

#include "engine/ReplacementSteps.h"
#include "platform/FileSystem.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kelvane::engine {

// The threads that commit a batch's groups behind its filling thread.
class SwapBatch::Behind {
public:
    // Throws std::system_error when not even one thread can be started.
    Behind()
    {
        try {
            while (threads_.size() < behindDepth)
                threads_.emplace_back([this] { run(); });
        } catch (const std::system_error&) {
            // Fewer threads: the groups wait their turn among them.
            if (threads_.empty())
                throw;
        }
    }

    ~Behind()
    {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }

    // Hands `group` over; waits while `behindDepth` groups are already
    // handed over and not yet committed.
    void hand(std::vector<Queued> group)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_.size() + committing_ < behindDepth; });
        const std::exception_ptr thrown = std::exchange(heard_, nullptr);
        waiting_.push_back(std::move(group));
        changed_.notify_all();
        lock.unlock();
        if (thrown)
            std::rethrow_exception(thrown);
    }

    // Returns once everything handed over has committed.
    void drain()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_.empty() && committing_ == 0; });
        if (heard_)
            std::rethrow_exception(std::exchange(heard_, nullptr));
    }

    bool idle() const
    {
        const std::lock_guard lock(mutex_);
        return waiting_.empty() && committing_ == 0;
    }

private:
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return !waiting_.empty() || stopping_; });
            if (waiting_.empty())
                return;
            std::vector<Queued> group = std::move(waiting_.front());
            waiting_.pop_front();
            ++committing_;
            lock.unlock();
            std::exception_ptr thrown;
            try {
                commitGroup(std::move(group));
            } catch (...) {
                thrown = std::current_exception();
            }
            lock.lock();
            if (thrown && !heard_)
                heard_ = thrown;
            --committing_;
            changed_.notify_all();
        }
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Queued>> waiting_;
    std::size_t committing_ = 0;
    bool stopping_ = false;
    std::exception_ptr heard_;  // a `done` threw here: thrown again on the filling thread
    std::vector<std::thread> threads_;
};

SwapBatch::SwapBatch(Limits limits, Committing committing) : limits_(limits)
{
    if (committing == Committing::here)
        return;
    try {
        behind_ = std::make_unique<Behind>();
    } catch (const std::system_error&) {
        // No thread to be had: the batch commits here, as slowly and as safely.
    }
}

SwapBatch::~SwapBatch()
{
    try {
        commit();
    } catch (...) {
        // A `done` that throws loses nothing on disk; the destructor must not throw.
    }
}

bool SwapBatch::empty() const { return queue_.empty() && (!behind_ || behind_->idle()); }

void SwapBatch::add(PreparedSwap swap, Done done)
{
    if (queue_.empty())
        oldest_ = std::chrono::steady_clock::now();
    bytes_ += swap.size();
    queue_.push_back(Queued{std::move(swap), std::move(done)});
    if (queue_.size() >= limits_.files || bytes_ >= limits_.bytes ||
        std::chrono::steady_clock::now() - oldest_ >= limits_.age)
        handOver();
}

void SwapBatch::commit()
{
    handOver();
    if (behind_)
        behind_->drain();
}

void SwapBatch::handOver()
{
    if (queue_.empty())
        return;
    std::vector<Queued> group = std::move(queue_);
    queue_.clear();
    bytes_ = 0;
    if (behind_)
        behind_->hand(std::move(group));
    else
        commitGroup(std::move(group));
}

void SwapBatch::commitGroup(std::vector<Queued> queued)
{
    std::vector<std::optional<Outcome>> failed(queued.size());
    const auto fail = [&](std::size_t i) { failed[i] = Outcome{std::nullopt, std::current_exception()}; };

    // Every replacement durable before any rename. The writes of all of
    // them start first, so the flushes that follow share the disk's work and
    // its journal commits; each file's own flush reports its own failure, and
    // no other program's unwritten data is waited for.
    for (Queued& entry : queued)
        platform::startWriteback(entry.swap.temporary_.descriptor());
    for (std::size_t i = 0; i < queued.size(); ++i) {
        try {
            replacement::flushReplacement(queued[i].swap.temporary_);
        } catch (...) {
            fail(i);
        }
    }

    std::set<std::filesystem::path> folders;
    for (std::size_t i = 0; i < queued.size(); ++i) {
        if (failed[i])
            continue;
        PreparedSwap& swap = queued[i].swap;
        try {
            replacement::renameOver(swap.temporary_, swap.url_, swap.snapshot_);
            folders.insert(folderOf(swap.url_));
        } catch (...) {
            fail(i);
        }
    }
    for (const auto& folder : folders)
        replacement::flushFolder(folder);

    // Every file hears of its commit, even when an earlier one's `done`
    // throws; the first throw goes on afterwards.
    std::exception_ptr thrown;
    for (std::size_t i = 0; i < queued.size(); ++i) {
        Outcome outcome;
        {
            // Gone (lock, temporary file, folder time) before anyone hears of it.
            PreparedSwap swap = std::move(queued[i].swap);
            if (failed[i]) {
                outcome = std::move(*failed[i]);
            } else {
                swap.temporary_.markSwapped();
                const std::int64_t after =
                    swap.compressed_ ? replacement::physicalSizeAfterSwap(swap.url_) : swap.written_;
                outcome.result = CompressionResult{swap.url_, swap.snapshot_.size, after, swap.algorithm_};
            }
        }
        try {
            queued[i].done(std::move(outcome));
        } catch (...) {
            if (!thrown)
                thrown = std::current_exception();
        }
    }
    if (thrown)
        std::rethrow_exception(thrown);
}

}  // namespace kelvane::engine
