// SPDX-License-Identifier: MIT
#include "operations/bulk/OperationProgress.h"

#include "operations/threads/ChangeSignal.h"

#include <cmath>

namespace kelvane::operations {

OperationProgress::OperationProgress(ActiveOperation::Kind kind, int total, std::int64_t totalBytes, int concurrency,
                                     QObject* parent)
    : QObject(parent),
      id_(store::Uuid::random()),
      kind_(kind),
      total_(total),
      totalBytes_(totalBytes),
      concurrency_(concurrency),
      startedAt_(Clock::now())
{
}

void OperationProgress::appendFailure(Failure failure)
{
    appendAndNotify(this, failures_, std::move(failure), &OperationProgress::failuresChanged);
}
// An entry already there changes nothing.
void OperationProgress::insertIncompressibleRowID(const RowId& id)
{
    insertAndNotify(this, incompressibleRowIDs_, id, &OperationProgress::incompressibleRowIDsChanged);
}
void OperationProgress::appendPendingIncompressible(PendingIncompressible entry)
{
    appendAndNotify(this, pendingIncompressibleEntries_, std::move(entry),
                    &OperationProgress::pendingIncompressibleEntriesChanged);
}
void OperationProgress::insertClearedIncompressiblePath(const std::string& path)
{
    insertAndNotify(this, clearedIncompressiblePaths_, path, &OperationProgress::clearedIncompressiblePathsChanged);
}
void OperationProgress::appendPendingLog(PendingLog log)
{
    appendAndNotify(this, pendingLogs_, std::move(log), &OperationProgress::pendingLogsChanged);
}

double OperationProgress::elapsedSeconds(Clock::time_point now) const
{
    const Clock::time_point end = completedAt_.value_or(now);
    return std::chrono::duration<double>(end - startedAt_).count();
}

std::optional<double> OperationProgress::bytesPerSecond(Clock::time_point now) const
{
    const double elapsed = elapsedSeconds(now);
    const std::int64_t net = bytesProcessedSoFar_ - skippedBytes_;
    if (std::isnan(elapsed) || elapsed < 0.5 || net < 1)
        return std::nullopt;
    return static_cast<double>(net) / elapsed;
}

std::optional<double> OperationProgress::estimatedRemainingSeconds(Clock::time_point now) const
{
    if (isFinished())
        return std::nullopt;
    const int done = current_ - skippedCount_;
    if (done < 1 || current_ >= total_)
        return std::nullopt;
    return elapsedSeconds(now) / done * (total_ - current_);
}

void OperationProgress::cancel()
{
    setWasCancelled(true);
    if (task_)
        task_->cancel();
}

}  // namespace kelvane::operations
