// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionResult.h"
#include "engine/Swap.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
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
//
// A batch commits on the thread that fills it (`Committing::here`), or on
// threads of its own (`Committing::behind`) so that the filling thread goes
// on preparing the next files while the disk flushes the last ones: on a
// file system without a journal each flush is a synchronous write of the
// inode and a flush of the disk's cache, and freeing a replaced file's
// blocks may wait for the disk to discard them. Behind, at most
// `behindDepth` groups commit while the next fills, so their files are the
// most held open.
class SwapBatch {
public:
    struct Limits {
        std::size_t files = 32;
        std::int64_t bytes = std::int64_t{256} << 20;
        std::chrono::milliseconds age{1000};
    };
    enum class Committing { here, behind };
    // Behind, the groups handed over and not yet committed, each on a thread
    // of its own: their flushes wait for the disk side by side, which it
    // serves faster than one after another (figures in docs/performance.md).
    // The filling thread waits for the disk only when it has filled one more.
    static constexpr std::size_t behindDepth = 3;

    // What became of one swap: its result, or the failure its commit met.
    struct Outcome {
        std::optional<CompressionResult> result;
        std::exception_ptr failure;
    };
    using Done = std::function<void(Outcome)>;

    SwapBatch() : SwapBatch(Limits{}) {}
    explicit SwapBatch(Limits limits, Committing committing = Committing::here);
    // Commits whatever is still queued.
    ~SwapBatch();
    SwapBatch(const SwapBatch&) = delete;
    SwapBatch& operator=(const SwapBatch&) = delete;

    // Queues `swap`; `done` hears of it when the batch commits (on the
    // committing thread). Commits when a bound is reached: at once here,
    // behind once the group before has committed.
    void add(PreparedSwap swap, Done done);

    // Commits every queued swap, and returns once all are committed and
    // heard of. Behind, a `done` that threw is rethrown here (or by the next
    // `add`).
    void commit();

    // Nothing queued and nothing committing.
    bool empty() const;

private:
    struct Queued {
        PreparedSwap swap;
        Done done;
    };
    class Behind;

    // Flushes, renames and reports one group, on the calling thread.
    static void commitGroup(std::vector<Queued> group);
    void handOver();

    Limits limits_;
    std::vector<Queued> queue_;
    std::int64_t bytes_ = 0;
    std::chrono::steady_clock::time_point oldest_{};
    std::unique_ptr<Behind> behind_;  // null: committed here
};

}  // namespace kelvane::engine
