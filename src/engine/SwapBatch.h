// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionResult.h"
#include "engine/Swap.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

namespace kelvane::engine {

// Commits prepared swaps together. Flushing each replacement on its own
// costs a journal commit per file, which bounds a run of many small files
// by the disk's wait, not by the encoder. A batch starts writing all its
// replacements out at once and then flushes each (the flushes share the
// disk's work and the journal's commits), then renames them in, then
// flushes each folder once. A crash at any point still leaves every
// file either as it was or replaced by its proven replacement: nothing is
// renamed before every replacement of the batch is on disk, and a leftover
// temporary file carries the marker by which a later run removes it.
//
// The bounds keep what a cancelled or killed run loses small and the locks
// held short: the batch commits itself when it holds `files` swaps or
// `bytes` of files, or when its oldest swap has waited `age`. One thread
// uses a batch at a time.
class SwapBatch {
public:
    struct Limits {
        std::size_t files = 32;
        std::int64_t bytes = std::int64_t{256} << 20;
        std::chrono::milliseconds age{1000};
    };

    // What became of one swap: its result, or the failure its commit met.
    struct Outcome {
        std::optional<CompressionResult> result;
        std::exception_ptr failure;
    };
    using Done = std::function<void(Outcome)>;

    SwapBatch() : SwapBatch(Limits{}) {}
    explicit SwapBatch(Limits limits);
    // Commits whatever is still queued.
    ~SwapBatch();
    SwapBatch(const SwapBatch&) = delete;
    SwapBatch& operator=(const SwapBatch&) = delete;

    // Queues `swap`; `done` hears of it when the batch commits (on the
    // committing thread). Commits at once when a bound is reached.
    void add(PreparedSwap swap, Done done);

    // Commits every queued swap now.
    void commit();

    bool empty() const { return queue_.empty(); }

private:
    struct Queued {
        PreparedSwap swap;
        Done done;
    };

    Limits limits_;
    std::vector<Queued> queue_;
    std::int64_t bytes_ = 0;
    std::chrono::steady_clock::time_point oldest_{};
};

}  // namespace kelvane::engine
