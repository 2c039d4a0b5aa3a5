// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <set>
#include <span>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::operations {

// The tally of one inspection worker of the folder loading.
struct WorkerStats {
    long long errors = 0;
    double inspectSec = 0;
    double flushSec = 0;

    WorkerStats& operator+=(const WorkerStats& other)
    {
        errors += other.errors;
        inspectSec += other.inspectSec;
        flushSec += other.flushSec;
        return *this;
    }
};

// Inspects one slice of a folder's child rows off the main thread and hands
// the results over in batches: a batch leaves when it holds at least
// `flushThreshold` results and at least `flushInterval` has passed since the
// last one, and once more at the end (also after a cancellation), so the
// table recomputes a bounded number of times however large the folder is.
class ChildInspectionWorker {
public:
    using Clock = std::chrono::steady_clock;
    using Batch = std::vector<std::pair<RowId, FileStatusEntry>>;
    // Delivers a batch; returns once it has been stored.
    using Flush = std::function<void(Batch&&)>;

    static constexpr std::size_t defaultFlushThreshold = 1000;
    static constexpr std::chrono::milliseconds defaultFlushInterval{250};

    ChildInspectionWorker(const std::set<std::string>& incompressiblePaths, Flush flush,
                          std::function<Clock::time_point()> now = Clock::now);

    WorkerStats run(std::span<const DisplayRow> slice, std::stop_token stop);

    // The entry stored for one file; counts failures. A file known not to
    // shrink that is still uncompressed shows as incompressible.
    static FileStatusEntry inspect(const std::filesystem::path& url, bool knownIncompressible, long long& errors);
    static FileStatusEntry inspect(const std::filesystem::path& url, const std::set<std::string>& incompressiblePaths,
                                   long long& errors)
    {
        return inspect(url, incompressiblePaths.contains(url.string()), errors);
    }

    std::size_t flushThreshold = defaultFlushThreshold;
    Clock::duration flushInterval = defaultFlushInterval;

private:
    void flush(Batch& buffer, WorkerStats& stats);

    const std::set<std::string>& incompressiblePaths_;
    Flush flush_;
    std::function<Clock::time_point()> now_;
};

}  // namespace kelvane::operations
