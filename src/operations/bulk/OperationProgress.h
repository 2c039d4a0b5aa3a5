// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/rows/RowId.h"
#include "operations/threads/ChangeSignal.h"
#include "operations/threads/TaskHandle.h"
#include "store/CompressionLogValues.h"
#include "store/Uuid.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kelvane::operations {

// The live state of one bulk compress or decompress run, shown by the
// progress sheet. Main thread only. Every change of a field, by assignment or
// in place (add, insert, append), is announced by its change signal, and
// only a real change: an equal value or a zero step announces nothing.
class OperationProgress final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int current READ current NOTIFY currentChanged)
    Q_PROPERTY(int succeededCount READ succeededCount NOTIFY succeededCountChanged)
    Q_PROPERTY(std::string currentFileName READ currentFileName NOTIFY currentFileNameChanged)
    Q_PROPERTY(std::int64_t bytesSavedSoFar READ bytesSavedSoFar NOTIFY bytesSavedSoFarChanged)
    Q_PROPERTY(std::int64_t bytesProcessedSoFar READ bytesProcessedSoFar NOTIFY bytesProcessedSoFarChanged)
    Q_PROPERTY(Failures failures READ failures NOTIFY failuresChanged)
    Q_PROPERTY(RowIds incompressibleRowIDs READ incompressibleRowIDs NOTIFY incompressibleRowIDsChanged)
    Q_PROPERTY(PendingIncompressibles pendingIncompressibleEntries READ pendingIncompressibleEntries NOTIFY
                   pendingIncompressibleEntriesChanged)
    Q_PROPERTY(Strings clearedIncompressiblePaths READ clearedIncompressiblePaths NOTIFY
                   clearedIncompressiblePathsChanged)
    Q_PROPERTY(PendingLogs pendingLogs READ pendingLogs NOTIFY pendingLogsChanged)
    Q_PROPERTY(int skippedCount READ skippedCount NOTIFY skippedCountChanged)
    Q_PROPERTY(std::int64_t skippedBytes READ skippedBytes NOTIFY skippedBytesChanged)
    Q_PROPERTY(int sizeSkippedCount READ sizeSkippedCount NOTIFY sizeSkippedCountChanged)
    Q_PROPERTY(std::int64_t sizeSkippedBytes READ sizeSkippedBytes NOTIFY sizeSkippedBytesChanged)
    Q_PROPERTY(std::uint64_t currentMemoryBytes READ currentMemoryBytes NOTIFY currentMemoryBytesChanged)
    Q_PROPERTY(std::uint64_t peakMemoryBytes READ peakMemoryBytes NOTIFY peakMemoryBytesChanged)
    Q_PROPERTY(std::uint64_t systemAvailableMemoryBytes READ systemAvailableMemoryBytes NOTIFY
                   systemAvailableMemoryBytesChanged)
    Q_PROPERTY(OptionalTime completedAt READ completedAt NOTIFY completedAtChanged)
    Q_PROPERTY(bool wasCancelled READ wasCancelled NOTIFY wasCancelledChanged)
    Q_PROPERTY(OptionalTask task READ task NOTIFY taskChanged)
public:
    using Clock = std::chrono::system_clock;
    using Self = OperationProgress;

    struct Failure {
        store::Uuid id;
        std::string fileName;
        std::string reason;
        bool operator==(const Failure&) const = default;
    };
    // A history record waiting for the run's one save.
    using PendingLog = store::CompressionLogValues;
    struct PendingIncompressible {
        std::string path;
        std::int64_t size = 0;
        bool operator==(const PendingIncompressible&) const = default;
    };
    using Failures = std::vector<Failure>;
    using Strings = std::set<std::string>;
    using RowIds = std::set<RowId>;
    using PendingIncompressibles = std::vector<PendingIncompressible>;
    using PendingLogs = std::vector<PendingLog>;
    using OptionalTime = std::optional<Clock::time_point>;
    using OptionalTask = std::optional<TaskHandle>;

    OperationProgress(ActiveOperation::Kind kind, int total, std::int64_t totalBytes, int concurrency,
                      QObject* parent = nullptr);

    const store::Uuid& id() const { return id_; }
    ActiveOperation::Kind kind() const { return kind_; }
    int total() const { return total_; }
    std::int64_t totalBytes() const { return totalBytes_; }
    int concurrency() const { return concurrency_; }
    Clock::time_point startedAt() const { return startedAt_; }

    int current() const { return current_; }
    // Files compressed or decompressed so far, counted as each result is
    // recorded; unlike `current`, never set to the candidate count at the end.
    int succeededCount() const { return succeededCount_; }
    const std::string& currentFileName() const { return currentFileName_; }
    std::int64_t bytesSavedSoFar() const { return bytesSavedSoFar_; }
    std::int64_t bytesProcessedSoFar() const { return bytesProcessedSoFar_; }
    const std::vector<Failure>& failures() const { return failures_; }
    const RowIds& incompressibleRowIDs() const { return incompressibleRowIDs_; }
    const std::vector<PendingIncompressible>& pendingIncompressibleEntries() const { return pendingIncompressibleEntries_; }
    const std::set<std::string>& clearedIncompressiblePaths() const { return clearedIncompressiblePaths_; }
    const std::vector<PendingLog>& pendingLogs() const { return pendingLogs_; }
    int skippedCount() const { return skippedCount_; }
    std::int64_t skippedBytes() const { return skippedBytes_; }
    int sizeSkippedCount() const { return sizeSkippedCount_; }
    std::int64_t sizeSkippedBytes() const { return sizeSkippedBytes_; }
    std::uint64_t currentMemoryBytes() const { return currentMemoryBytes_; }
    std::uint64_t peakMemoryBytes() const { return peakMemoryBytes_; }
    std::uint64_t systemAvailableMemoryBytes() const { return systemAvailableMemoryBytes_; }
    const std::optional<Clock::time_point>& completedAt() const { return completedAt_; }
    bool wasCancelled() const { return wasCancelled_; }
    const std::optional<TaskHandle>& task() const { return task_; }

    void setCurrent(int v) { assignAndNotify(this, current_, v, &Self::currentChanged); }
    void setSucceededCount(int v) { assignAndNotify(this, succeededCount_, v, &Self::succeededCountChanged); }
    void setCurrentFileName(const std::string& v)
    {
        assignAndNotify(this, currentFileName_, v, &Self::currentFileNameChanged);
    }
    void setBytesSavedSoFar(std::int64_t v)
    {
        assignAndNotify(this, bytesSavedSoFar_, v, &Self::bytesSavedSoFarChanged);
    }
    void setBytesProcessedSoFar(std::int64_t v)
    {
        assignAndNotify(this, bytesProcessedSoFar_, v, &Self::bytesProcessedSoFarChanged);
    }
    void setFailures(Failures v) { assignAndNotify(this, failures_, std::move(v), &Self::failuresChanged); }
    void setIncompressibleRowIDs(RowIds v)
    {
        assignAndNotify(this, incompressibleRowIDs_, std::move(v), &Self::incompressibleRowIDsChanged);
    }
    void setPendingIncompressibleEntries(PendingIncompressibles v)
    {
        assignAndNotify(this, pendingIncompressibleEntries_, std::move(v), &Self::pendingIncompressibleEntriesChanged);
    }
    void setClearedIncompressiblePaths(Strings v)
    {
        assignAndNotify(this, clearedIncompressiblePaths_, std::move(v), &Self::clearedIncompressiblePathsChanged);
    }
    void setPendingLogs(PendingLogs v) { assignAndNotify(this, pendingLogs_, std::move(v), &Self::pendingLogsChanged); }
    void setSkippedCount(int v) { assignAndNotify(this, skippedCount_, v, &Self::skippedCountChanged); }
    void setSkippedBytes(std::int64_t v) { assignAndNotify(this, skippedBytes_, v, &Self::skippedBytesChanged); }
    void setSizeSkippedCount(int v) { assignAndNotify(this, sizeSkippedCount_, v, &Self::sizeSkippedCountChanged); }
    void setSizeSkippedBytes(std::int64_t v)
    {
        assignAndNotify(this, sizeSkippedBytes_, v, &Self::sizeSkippedBytesChanged);
    }
    void setCurrentMemoryBytes(std::uint64_t v)
    {
        assignAndNotify(this, currentMemoryBytes_, v, &Self::currentMemoryBytesChanged);
    }
    void setPeakMemoryBytes(std::uint64_t v)
    {
        assignAndNotify(this, peakMemoryBytes_, v, &Self::peakMemoryBytesChanged);
    }
    void setSystemAvailableMemoryBytes(std::uint64_t v)
    {
        assignAndNotify(this, systemAvailableMemoryBytes_, v, &Self::systemAvailableMemoryBytesChanged);
    }
    void setCompletedAt(OptionalTime v) { assignAndNotify(this, completedAt_, v, &Self::completedAtChanged); }
    void setWasCancelled(bool v) { assignAndNotify(this, wasCancelled_, v, &Self::wasCancelledChanged); }
    void setTask(OptionalTask v) { assignAndNotify(this, task_, std::move(v), &Self::taskChanged); }

    // In-place updates; each announces its field when it changes it.
    void addCurrent(int delta) { setCurrent(current_ + delta); }
    void addSucceededCount(int delta) { setSucceededCount(succeededCount_ + delta); }
    void addBytesSavedSoFar(std::int64_t delta) { setBytesSavedSoFar(bytesSavedSoFar_ + delta); }
    void addBytesProcessedSoFar(std::int64_t delta) { setBytesProcessedSoFar(bytesProcessedSoFar_ + delta); }
    void addSkippedCount(int delta) { setSkippedCount(skippedCount_ + delta); }
    void addSkippedBytes(std::int64_t delta) { setSkippedBytes(skippedBytes_ + delta); }
    void appendFailure(Failure failure);
    void insertIncompressibleRowID(const RowId& id);
    void appendPendingIncompressible(PendingIncompressible entry);
    void insertClearedIncompressiblePath(const std::string& path);
    void appendPendingLog(PendingLog log);

    bool isFinished() const { return completedAt_.has_value(); }
    // Net bytes (processed minus skipped) per second of the run so far, or of
    // the whole run once finished; none below 0.5 s or 1 byte.
    std::optional<double> bytesPerSecond(Clock::time_point now = Clock::now()) const;
    // Seconds still needed at the pace of the files done so far (skipped
    // files count neither way); none when finished or nothing is done yet.
    std::optional<double> estimatedRemainingSeconds(Clock::time_point now = Clock::now()) const;

    // Marks the run cancelled and cancels its task; the runner finishes it.
    void cancel();

signals:
    void currentChanged();
    void succeededCountChanged();
    void currentFileNameChanged();
    void bytesSavedSoFarChanged();
    void bytesProcessedSoFarChanged();
    void failuresChanged();
    void incompressibleRowIDsChanged();
    void pendingIncompressibleEntriesChanged();
    void clearedIncompressiblePathsChanged();
    void pendingLogsChanged();
    void skippedCountChanged();
    void skippedBytesChanged();
    void sizeSkippedCountChanged();
    void sizeSkippedBytesChanged();
    void currentMemoryBytesChanged();
    void peakMemoryBytesChanged();
    void systemAvailableMemoryBytesChanged();
    void completedAtChanged();
    void wasCancelledChanged();
    void taskChanged();

private:
    double elapsedSeconds(Clock::time_point now) const;

    const store::Uuid id_;
    const ActiveOperation::Kind kind_;
    const int total_;
    const std::int64_t totalBytes_;
    const int concurrency_;
    const Clock::time_point startedAt_;

    int current_ = 0;
    int succeededCount_ = 0;
    std::string currentFileName_;
    std::int64_t bytesSavedSoFar_ = 0;
    std::int64_t bytesProcessedSoFar_ = 0;
    std::vector<Failure> failures_;
    RowIds incompressibleRowIDs_;
    std::vector<PendingIncompressible> pendingIncompressibleEntries_;
    std::set<std::string> clearedIncompressiblePaths_;
    std::vector<PendingLog> pendingLogs_;
    int skippedCount_ = 0;
    std::int64_t skippedBytes_ = 0;
    int sizeSkippedCount_ = 0;
    std::int64_t sizeSkippedBytes_ = 0;
    std::uint64_t currentMemoryBytes_ = 0;
    std::uint64_t peakMemoryBytes_ = 0;
    std::uint64_t systemAvailableMemoryBytes_ = 0;
    std::optional<Clock::time_point> completedAt_;
    bool wasCancelled_ = false;
    std::optional<TaskHandle> task_;
};

}  // namespace kelvane::operations
