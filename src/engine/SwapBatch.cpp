// SPDX-License-Identifier: MIT
#include "engine/SwapBatch.h"

#include "engine/ReplacementSteps.h"
#include "platform/FileSystem.h"

#include <set>

namespace kelvane::engine {

SwapBatch::SwapBatch(Limits limits) : limits_(limits) {}

SwapBatch::~SwapBatch()
{
    try {
        commit();
    } catch (...) {
        // A `done` that throws loses nothing on disk; the destructor must not throw.
    }
}

void SwapBatch::add(PreparedSwap swap, Done done)
{
    if (queue_.empty())
        oldest_ = std::chrono::steady_clock::now();
    bytes_ += swap.size();
    queue_.push_back(Queued{std::move(swap), std::move(done)});
    if (queue_.size() >= limits_.files || bytes_ >= limits_.bytes ||
        std::chrono::steady_clock::now() - oldest_ >= limits_.age)
        commit();
}

void SwapBatch::commit()
{
    if (queue_.empty())
        return;
    std::vector<Queued> queued = std::move(queue_);
    queue_.clear();
    bytes_ = 0;

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
        queued[i].done(std::move(outcome));
    }
}

}  // namespace kelvane::engine
