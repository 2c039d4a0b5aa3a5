#include "operations/OperationProgress.h"

#include <cmath>

namespace kelvane::operations {

namespace {

// Stores `value` and announces it only when it differs.
template <class T, class Emit>
void assign(T& field, T value, Emit emitChange)
{
    if (field == value)
        return;
    field = std::move(value);
    emitChange();
}

}  // namespace

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

void OperationProgress::setCurrent(int v) { assign(current_, v, [this] { emit currentChanged(); }); }
void OperationProgress::setCurrentFileName(const std::string& v)
{
    assign(currentFileName_, v, [this] { emit currentFileNameChanged(); });
}
void OperationProgress::setBytesSavedSoFar(std::int64_t v)
{
    assign(bytesSavedSoFar_, v, [this] { emit bytesSavedSoFarChanged(); });
}
void OperationProgress::setBytesProcessedSoFar(std::int64_t v)
{
    assign(bytesProcessedSoFar_, v, [this] { emit bytesProcessedSoFarChanged(); });
}
void OperationProgress::setFailures(std::vector<Failure> v)
{
    assign(failures_, std::move(v), [this] { emit failuresChanged(); });
}
void OperationProgress::setIncompressibleRowIDs(std::set<std::string> v)
{
    assign(incompressibleRowIDs_, std::move(v), [this] { emit incompressibleRowIDsChanged(); });
}
void OperationProgress::setPendingIncompressibleEntries(std::vector<PendingIncompressible> v)
{
    assign(pendingIncompressibleEntries_, std::move(v), [this] { emit pendingIncompressibleEntriesChanged(); });
}
void OperationProgress::setClearedIncompressiblePaths(std::set<std::string> v)
{
    assign(clearedIncompressiblePaths_, std::move(v), [this] { emit clearedIncompressiblePathsChanged(); });
}
void OperationProgress::setPendingLogs(std::vector<PendingLog> v)
{
    pendingLogs_ = std::move(v);
    emit pendingLogsChanged();
}
void OperationProgress::setSkippedCount(int v) { assign(skippedCount_, v, [this] { emit skippedCountChanged(); }); }
void OperationProgress::setSkippedBytes(std::int64_t v)
{
    assign(skippedBytes_, v, [this] { emit skippedBytesChanged(); });
}
void OperationProgress::setSizeSkippedCount(int v)
{
    assign(sizeSkippedCount_, v, [this] { emit sizeSkippedCountChanged(); });
}
void OperationProgress::setSizeSkippedBytes(std::int64_t v)
{
    assign(sizeSkippedBytes_, v, [this] { emit sizeSkippedBytesChanged(); });
}
void OperationProgress::setCurrentMemoryBytes(std::uint64_t v)
{
    assign(currentMemoryBytes_, v, [this] { emit currentMemoryBytesChanged(); });
}
void OperationProgress::setPeakMemoryBytes(std::uint64_t v)
{
    assign(peakMemoryBytes_, v, [this] { emit peakMemoryBytesChanged(); });
}
void OperationProgress::setSystemAvailableMemoryBytes(std::uint64_t v)
{
    assign(systemAvailableMemoryBytes_, v, [this] { emit systemAvailableMemoryBytesChanged(); });
}
void OperationProgress::setCompletedAt(std::optional<Clock::time_point> v)
{
    assign(completedAt_, v, [this] { emit completedAtChanged(); });
}
void OperationProgress::setWasCancelled(bool v)
{
    assign(wasCancelled_, v, [this] { emit wasCancelledChanged(); });
}
void OperationProgress::setTask(std::optional<TaskHandle> v)
{
    assign(task_, std::move(v), [this] { emit taskChanged(); });
}

void OperationProgress::addCurrent(int delta)
{
    current_ += delta;
    emit currentChanged();
}
void OperationProgress::addBytesSavedSoFar(std::int64_t delta)
{
    bytesSavedSoFar_ += delta;
    emit bytesSavedSoFarChanged();
}
void OperationProgress::addBytesProcessedSoFar(std::int64_t delta)
{
    bytesProcessedSoFar_ += delta;
    emit bytesProcessedSoFarChanged();
}
void OperationProgress::addSkippedCount(int delta)
{
    skippedCount_ += delta;
    emit skippedCountChanged();
}
void OperationProgress::addSkippedBytes(std::int64_t delta)
{
    skippedBytes_ += delta;
    emit skippedBytesChanged();
}
void OperationProgress::appendFailure(Failure failure)
{
    failures_.push_back(std::move(failure));
    emit failuresChanged();
}
void OperationProgress::insertIncompressibleRowID(const std::string& id)
{
    incompressibleRowIDs_.insert(id);
    emit incompressibleRowIDsChanged();
}
void OperationProgress::appendPendingIncompressible(PendingIncompressible entry)
{
    pendingIncompressibleEntries_.push_back(std::move(entry));
    emit pendingIncompressibleEntriesChanged();
}
void OperationProgress::insertClearedIncompressiblePath(const std::string& path)
{
    clearedIncompressiblePaths_.insert(path);
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
