#include "operations/OperationProgress.h"

#include "operations/ChangeSignal.h"

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

void OperationProgress::setCurrent(int v) { assignAndNotify(this, current_, v, &OperationProgress::currentChanged); }
void OperationProgress::setSucceededCount(int v)
{
    assignAndNotify(this, succeededCount_, v, &OperationProgress::succeededCountChanged);
}
void OperationProgress::setCurrentFileName(const std::string& v)
{
    assignAndNotify(this, currentFileName_, v, &OperationProgress::currentFileNameChanged);
}
void OperationProgress::setBytesSavedSoFar(std::int64_t v)
{
    assignAndNotify(this, bytesSavedSoFar_, v, &OperationProgress::bytesSavedSoFarChanged);
}
void OperationProgress::setBytesProcessedSoFar(std::int64_t v)
{
    assignAndNotify(this, bytesProcessedSoFar_, v, &OperationProgress::bytesProcessedSoFarChanged);
}
void OperationProgress::setFailures(std::vector<Failure> v)
{
    assignAndNotify(this, failures_, std::move(v), &OperationProgress::failuresChanged);
}
void OperationProgress::setIncompressibleRowIDs(std::set<std::string> v)
{
    assignAndNotify(this, incompressibleRowIDs_, std::move(v), &OperationProgress::incompressibleRowIDsChanged);
}
void OperationProgress::setPendingIncompressibleEntries(std::vector<PendingIncompressible> v)
{
    assignAndNotify(this, pendingIncompressibleEntries_, std::move(v), &OperationProgress::pendingIncompressibleEntriesChanged);
}
void OperationProgress::setClearedIncompressiblePaths(std::set<std::string> v)
{
    assignAndNotify(this, clearedIncompressiblePaths_, std::move(v), &OperationProgress::clearedIncompressiblePathsChanged);
}
void OperationProgress::setPendingLogs(std::vector<PendingLog> v)
{
    assignAndNotify(this, pendingLogs_, std::move(v), &OperationProgress::pendingLogsChanged);
}
void OperationProgress::setSkippedCount(int v)
{
    assignAndNotify(this, skippedCount_, v, &OperationProgress::skippedCountChanged);
}
void OperationProgress::setSkippedBytes(std::int64_t v)
{
    assignAndNotify(this, skippedBytes_, v, &OperationProgress::skippedBytesChanged);
}
void OperationProgress::setSizeSkippedCount(int v)
{
    assignAndNotify(this, sizeSkippedCount_, v, &OperationProgress::sizeSkippedCountChanged);
}
void OperationProgress::setSizeSkippedBytes(std::int64_t v)
{
    assignAndNotify(this, sizeSkippedBytes_, v, &OperationProgress::sizeSkippedBytesChanged);
}
void OperationProgress::setCurrentMemoryBytes(std::uint64_t v)
{
    assignAndNotify(this, currentMemoryBytes_, v, &OperationProgress::currentMemoryBytesChanged);
}
void OperationProgress::setPeakMemoryBytes(std::uint64_t v)
{
    assignAndNotify(this, peakMemoryBytes_, v, &OperationProgress::peakMemoryBytesChanged);
}
void OperationProgress::setSystemAvailableMemoryBytes(std::uint64_t v)
{
    assignAndNotify(this, systemAvailableMemoryBytes_, v, &OperationProgress::systemAvailableMemoryBytesChanged);
}
void OperationProgress::setCompletedAt(std::optional<Clock::time_point> v)
{
    assignAndNotify(this, completedAt_, v, &OperationProgress::completedAtChanged);
}
void OperationProgress::setWasCancelled(bool v)
{
    assignAndNotify(this, wasCancelled_, v, &OperationProgress::wasCancelledChanged);
}
void OperationProgress::setTask(std::optional<TaskHandle> v)
{
    assignAndNotify(this, task_, std::move(v), &OperationProgress::taskChanged);
}

// The in-place updates: a zero step or an entry already there changes nothing.
void OperationProgress::addCurrent(int delta) { setCurrent(current_ + delta); }
void OperationProgress::addSucceededCount(int delta) { setSucceededCount(succeededCount_ + delta); }
void OperationProgress::addBytesSavedSoFar(std::int64_t delta) { setBytesSavedSoFar(bytesSavedSoFar_ + delta); }
void OperationProgress::addBytesProcessedSoFar(std::int64_t delta)
{
    setBytesProcessedSoFar(bytesProcessedSoFar_ + delta);
}
void OperationProgress::addSkippedCount(int delta) { setSkippedCount(skippedCount_ + delta); }
void OperationProgress::addSkippedBytes(std::int64_t delta) { setSkippedBytes(skippedBytes_ + delta); }
void OperationProgress::appendFailure(Failure failure)
{
    failures_.push_back(std::move(failure));
    emit failuresChanged();
}
void OperationProgress::insertIncompressibleRowID(const std::string& id)
{
    if (incompressibleRowIDs_.insert(id).second)
        emit incompressibleRowIDsChanged();
}
void OperationProgress::appendPendingIncompressible(PendingIncompressible entry)
{
    pendingIncompressibleEntries_.push_back(std::move(entry));
    emit pendingIncompressibleEntriesChanged();
}
void OperationProgress::insertClearedIncompressiblePath(const std::string& path)
{
    if (clearedIncompressiblePaths_.insert(path).second)
        emit clearedIncompressiblePathsChanged();
}
void OperationProgress::appendPendingLog(PendingLog log)
{
    pendingLogs_.push_back(std::move(log));
    emit pendingLogsChanged();
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
