// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/rows/DisplayRow.h"
#include "operations/bulk/OperationProgress.h"
#include "operations/threads/TaskHandle.h"
#include "engine/CandidateRule.h"
#include "engine/SwapBatch.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::operations {

class FileStatusCache;

// Compresses or decompresses the files of a row or a selection with a
// bounded pool of workers: candidates, confirmation of large runs, files too
// large for the format set aside, live progress, every refusal counted as
// skipped, incompressible or failed, one batched store write, and a
// re-inspection of every file of the run. Entry points are main-thread calls
// that return at once; the run reports through its progress object.
struct BulkOperationRunner {
    static constexpr std::int64_t confirmationThresholdBytes = 1000000000;
    static constexpr std::int64_t formatLimitBytes = engine::CandidateRule::maximumBytes;
    static constexpr int maxConcurrency = 8;
    // Each worker commits its files in groups small and young enough that
    // the progress moves visibly (figures in docs/performance.md).
    static constexpr engine::SwapBatch::Limits batchLimits{8, std::int64_t{64} << 20, std::chrono::milliseconds(250)};
    static constexpr std::int64_t streamingThreshold = decmpfs::streamingThreshold;
    static constexpr int autoCloseMaxFiles = 10;
    static constexpr std::int64_t autoCloseMaxSavedBytes = 99999999;

    // A run that has begun: its live progress (updated on the main thread as
    // the workers report) and the task whose cancellation stops it.
    struct Run {
        std::shared_ptr<OperationProgress> progress;
        TaskHandle task;
    };

    // The files a row's action covers: a file row itself; for a registered
    // folder, those of its loaded `children` whose inspected state the action
    // changes (compressing takes the uncompressed ones, decompressing the
    // compressed ones).
    static std::vector<DisplayRow> rowActionCandidates(ActiveOperation::Kind kind, const DisplayRow& row,
                                                       const DisplayRow::Children& children,
                                                       const FileStatusCache& cache);
    // Starts a run over `candidates` now; files too large for the format are
    // set aside (compression only). The run's records are saved into
    // `context` and its files inspected again into `cache`; either may be
    // null. The task finishes once the run has ended.
    static Run startOperation(ActiveOperation::Kind kind, std::vector<DisplayRow> candidates,
                              store::ModelContext* context, FileStatusCache* cache);
    // A finished run small and clean enough for its sheet to close by itself.
    static bool closesByItself(const OperationProgress& progress);

    // The sum of the rows' sizes.
    static std::int64_t totalSize(const std::vector<DisplayRow>& rows);
    // (kept, oversized), each in input order; oversized means larger than `limit`.
    static std::pair<std::vector<DisplayRow>, std::vector<DisplayRow>> splitOversizedCandidates(
        std::vector<DisplayRow> rows, std::int64_t limit);
    // The row's logical size as a signed count, 0 when unknown.
    static std::int64_t rowSize(const DisplayRow& row);
    // Files processed at once: the count clamped to 1...8.
    static int concurrencyFor(std::size_t count);

    // What one file came to, computed off the main thread.
    struct FileOutcome {
        enum class Type { success, skipped, incompressible, failure };
        Type type = Type::failure;
        RowId rowID;
        std::string path;
        std::string displayName;
        std::int64_t rowSize = 0;
        std::int64_t bytesBefore = 0;
        std::int64_t bytesSaved = 0;
        std::optional<OperationProgress::PendingLog> log;  // successes and failures
        std::string reason;                                // failures
    };
    // Converts one file as part of `batch`; `deliver` hears its outcome, at
    // once when it fails before anything changed, else when the batch
    // commits (on the calling thread either way).
    static void processFile(const DisplayRow& row, ActiveOperation::Kind kind, engine::SwapBatch& batch,
                            const std::function<void(FileOutcome)>& deliver);
    // The progress's part of one file's end (main thread).
    static void record(OperationProgress& progress, FileOutcome outcome,
                       const std::set<std::string>& incompressiblePaths);
};

}  // namespace kelvane::operations
