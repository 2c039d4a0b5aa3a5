// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"

#include <functional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::operations {

class FileStatusCache;

// The re-inspection after a bulk run: every file of the run inspected again
// in at most 8 parallel chunks, the results stored in the status cache with
// one update.
struct Reinspection {
    using Pairs = std::vector<std::pair<RowId, FileStatusEntry>>;

    // Main thread. Calls `done` on the main thread once the cache holds the
    // results (at once, without touching the cache, for no rows).
    static void inspectInChunks(std::vector<DisplayRow> rows, int concurrency, FileStatusCache& cache,
                                std::set<RowId> incompressibleRowIDs, std::function<void()> done);

    // Any thread. A file found not to shrink in the run shows as incompressible.
    static Pairs inspectChunk(std::span<const DisplayRow> rows, const std::set<RowId>& incompressibleRowIDs);

    // Workers: the run's concurrency clamped to 2...8.
    static int workerCount(int concurrency);
};

}  // namespace kelvane::operations
