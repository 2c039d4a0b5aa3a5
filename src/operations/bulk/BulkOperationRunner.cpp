// SPDX-License-Identifier: MIT
#include "operations/bulk/BulkOperationRunner.h"

#include "engine/CompressionType.h"
#include "engine/CandidateRule.h"
#include "engine/FileCompressor.h"
#include "operations/bulk/BulkPersistence.h"
#include "operations/bulk/CompressionErrorClass.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/threads/MainThread.h"
#include "operations/bulk/MemoryMonitor.h"
#include "operations/bulk/OperationActivity.h"
#include "operations/bulk/PublicFailureText.h"
#include "operations/bulk/Reinspection.h"
#include "operations/threads/WorkerJobs.h"
#include "platform/Logger.h"
#include "store/ModelContext.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace kelvane::operations {

namespace {

using Kind = ActiveOperation::Kind;
using FileOutcome = BulkOperationRunner::FileOutcome;
using Clock = std::chrono::system_clock;
using engine::FileCompressionStatus;

// Queue order on the worker pool: the bulk run's files before the sampler.
constexpr int userInitiatedPriority = 1;
constexpr int utilityPriority = 0;

struct MemorySample {
    std::uint64_t footprint = 0;
    std::uint64_t available = 0;
};

MemorySample sampleMemory() { return {MemoryMonitor::currentFootprintBytes(), MemoryMonitor::availableMemoryBytes()}; }

void storeSample(OperationProgress& progress, const MemorySample& sample)
{
    progress.setCurrentMemoryBytes(sample.footprint);
    if (sample.footprint != 0 && sample.footprint > progress.peakMemoryBytes())
        progress.setPeakMemoryBytes(sample.footprint);
    progress.setSystemAvailableMemoryBytes(sample.available);
}

// Samples memory once a second, off the main thread, until the run has
// finished or the sampler is stopped. Main-thread object.
class MemorySampler : public std::enable_shared_from_this<MemorySampler> {
public:
    explicit MemorySampler(std::weak_ptr<OperationProgress> progress) : progress_(std::move(progress)) {}

    void turn()
    {
        const auto progress = progress_.lock();
        if (stopped_ || !progress || progress->completedAt())
            return;
        runOnWorkers<MemorySample>(
            {sampleMemory},
            [self = shared_from_this()](std::vector<MemorySample> samples) {
                if (self->stopped_)
                    return;
                if (const auto p = self->progress_.lock())
                    storeSample(*p, samples.front());
                QTimer::singleShot(1000, QCoreApplication::instance(), [self] { self->turn(); });
            },
            utilityPriority);
    }
    void stop() { stopped_ = true; }

private:
    std::weak_ptr<OperationProgress> progress_;
    bool stopped_ = false;
};

// The main-thread side of one run; workers reach it only through queued calls.
struct BulkRun {
    store::ModelContext* context = nullptr;
    QPointer<FileStatusCache> cache;
    std::shared_ptr<OperationProgress> progress;
    Kind kind = Kind::compress;
    std::vector<DisplayRow> rows;
    int concurrency = 1;
    TaskHandle task;
    std::shared_ptr<MemorySampler> sampler;
    std::unique_ptr<OperationActivity> activity;
    std::set<std::string> incompressiblePaths;
};

// What the workers share: read-only input and the next row to hand out.
struct WorkerWindow {
    std::vector<DisplayRow> rows;
    Kind kind = Kind::compress;
    std::stop_token stop;
    std::atomic<std::size_t> next{0};
};

void completeRun(const std::shared_ptr<BulkRun>& run)
{
    run->progress->setCurrent(static_cast<int>(run->rows.size()));
    run->progress->setCompletedAt(Clock::now());
    run->activity.reset();
    run->sampler->stop();
    run->task.finish();
}

void afterWorkers(const std::shared_ptr<BulkRun>& run)
{
    if (run->context)
        BulkPersistence::flushPendingRecords(*run->progress, *run->context);
    std::set<RowId> incompressibleIDs = run->progress->incompressibleRowIDs();
    if (!run->cache) {
        completeRun(run);
        return;
    }
    Reinspection::inspectInChunks(run->rows, run->concurrency, *run->cache, std::move(incompressibleIDs),
                                  [run] { completeRun(run); });
}

void runBulkOperation(const std::shared_ptr<BulkRun>& run)
{
    run->activity = OperationActivity::begin(run->kind);
    if (run->context)
        run->incompressiblePaths = BulkPersistence::loadIncompressiblePaths(*run->context);

    auto window = std::make_shared<WorkerWindow>();
    window->rows = run->rows;
    window->kind = run->kind;
    window->stop = run->task.stopToken();
    std::weak_ptr<BulkRun> weakRun = run;

    // A sliding window: each worker takes the next row in candidate order
    // when its file ends, so at most `concurrency` files are in flight and
    // none starts after a cancellation.
    std::vector<std::function<int()>> workers;
    for (int i = 0; i < run->concurrency; ++i) {
        workers.push_back([window, weakRun] {
            // Each worker commits its files through a SwapBatch of its own
            // (see batchLimits), behind it: the worker prepares its next
            // files while the disk flushes the last ones.
            engine::SwapBatch batch(BulkOperationRunner::batchLimits, engine::SwapBatch::Committing::behind);
            const auto deliver = [weakRun](FileOutcome outcome) {
                postToMainThread([weakRun, outcome = std::move(outcome)]() mutable {
                    if (const auto r = weakRun.lock())
                        BulkOperationRunner::record(*r->progress, std::move(outcome), r->incompressiblePaths);
                });
            };
            while (!window->stop.stop_requested()) {
                const std::size_t index = window->next.fetch_add(1);
                if (index >= window->rows.size())
                    break;
                const DisplayRow& row = window->rows[index];
                if (window->stop.stop_requested())
                    break;  // taken but not begun: neither processed nor counted
                postToMainThread([weakRun, name = row.displayName] {
                    if (const auto r = weakRun.lock())
                        r->progress->setCurrentFileName(name);
                });
                BulkOperationRunner::processFile(row, window->kind, batch, deliver);
            }
            // A cancelled run still swaps in what it has made and proven.
            batch.commit();
            return 0;
        });
    }
    runOnWorkers<int>(std::move(workers), [run](std::vector<int>) { afterWorkers(run); }, userInitiatedPriority);
}

}  // namespace

std::int64_t BulkOperationRunner::rowSize(const DisplayRow& row)
{
    if (!row.logicalSize)
        return 0;
    return static_cast<std::int64_t>(std::min<std::uint64_t>(*row.logicalSize, INT64_MAX));
}

int BulkOperationRunner::concurrencyFor(std::size_t count)
{
    return static_cast<int>(std::clamp<std::size_t>(count, 1, maxConcurrency));
}

std::pair<std::vector<DisplayRow>, std::vector<DisplayRow>> BulkOperationRunner::splitOversizedCandidates(
    std::vector<DisplayRow> rows, std::int64_t limit)
{
    std::vector<DisplayRow> kept;
    std::vector<DisplayRow> oversized;
    for (DisplayRow& row : rows)
        (rowSize(row) > limit ? oversized : kept).push_back(std::move(row));
    return {std::move(kept), std::move(oversized)};
}

std::vector<DisplayRow> BulkOperationRunner::rowActionCandidates(Kind kind, const DisplayRow& row,
                                                                 const DisplayRow::Children& children,
                                                                 const FileStatusCache& cache)
{
    if (row.kind == DisplayRow::DisplayKind::file || !row.registeredItemID)
        return {row};
    std::vector<DisplayRow> candidates;
    if (!children)
        return candidates;
    const engine::Conversion conversion =
        kind == Kind::compress ? engine::Conversion::compress : engine::Conversion::decompress;
    const auto& entries = cache.entries();
    for (const DisplayRow& child : *children) {
        if (child.kind != DisplayRow::DisplayKind::file)
            continue;
        const auto entry = entries.find(child.id);
        if (entry == entries.end())
            continue;
        const engine::FileCompressionInfo* info = entry->second.info();
        if (info && engine::CandidateRule::isTakenBy(conversion,
                                                     engine::CandidateRule::forStatus(info->status, info->logicalSize)))
            candidates.push_back(child);
    }
    return candidates;
}

std::int64_t BulkOperationRunner::totalSize(const std::vector<DisplayRow>& rows)
{
    std::int64_t total = 0;
    for (const DisplayRow& row : rows)
        total += rowSize(row);
    return total;
}

bool BulkOperationRunner::closesByItself(const OperationProgress& progress)
{
    return progress.isFinished() && progress.failures().empty() && !progress.wasCancelled() &&
           progress.total() <= autoCloseMaxFiles && progress.bytesSavedSoFar() <= autoCloseMaxSavedBytes;
}

BulkOperationRunner::Run BulkOperationRunner::startOperation(Kind kind, std::vector<DisplayRow> candidates,
                                                             store::ModelContext* context, FileStatusCache* cache)
{
    std::vector<DisplayRow> kept;
    std::vector<DisplayRow> oversized;
    if (kind == Kind::compress)
        std::tie(kept, oversized) = splitOversizedCandidates(std::move(candidates), formatLimitBytes);
    else
        kept = std::move(candidates);

    const std::size_t count = kept.size();
    const int concurrency = concurrencyFor(count);
    auto progress = std::make_shared<OperationProgress>(kind, static_cast<int>(count), totalSize(kept), concurrency);
    progress->setSizeSkippedCount(static_cast<int>(oversized.size()));
    progress->setSizeSkippedBytes(totalSize(oversized));
    progress->setCurrentFileName(kept.empty() ? std::string() : kept.front().displayName);
    storeSample(*progress, sampleMemory());

    auto run = std::make_shared<BulkRun>();
    if (count == 0) {
        progress->setCompletedAt(Clock::now());
        run->task.finish();
        return {progress, run->task};
    }
    run->context = context;
    run->cache = cache;
    run->progress = progress;
    run->kind = kind;
    run->rows = std::move(kept);
    run->concurrency = concurrency;
    run->sampler = std::make_shared<MemorySampler>(progress);
    run->sampler->turn();
    progress->setTask(run->task);
    runBulkOperation(run);
    return {progress, run->task};
}

namespace {

BulkOperationRunner::FileOutcome outcomeOf(const DisplayRow& row, Kind kind, const engine::SwapBatch::Outcome& done,
                                           std::int64_t elapsedMs)
{
    using FileOutcome = BulkOperationRunner::FileOutcome;
    FileOutcome outcome;
    outcome.rowID = row.id;
    outcome.path = row.url.string();
    outcome.displayName = row.displayName;
    outcome.rowSize = BulkOperationRunner::rowSize(row);
    OperationProgress::PendingLog log;
    log.operation = std::string(ActiveOperation::rawValue(kind));
    log.targetPath = outcome.path;
    log.durationMs = elapsedMs;
    log.executedAt = Clock::now();
    if (const auto& result = done.result) {
        outcome.type = FileOutcome::Type::success;
        outcome.bytesBefore = result->bytesBefore;
        outcome.bytesSaved = std::max<std::int64_t>(result->bytesBefore - result->bytesAfter, 0);
        log.sizeBefore = result->bytesBefore;
        log.sizeAfter = result->bytesAfter;
        log.algorithm = result->algorithm ? std::string(engine::algorithmName(*result->algorithm)) : "-";
        log.success = true;
        outcome.log = std::move(log);
        return outcome;
    }
    try {
        std::rethrow_exception(done.failure);
    } catch (const std::exception& error) {
        platform::Logger::compression().error("compress fail: kind=%{public}s err=%{public}s",
                                              kind == Kind::compress ? "c" : "d",
                                              publicFailureText(error.what(), {row.url, row.url.parent_path()}));
        switch (classifyCompressionError(kind, error)) {
            case CompressionErrorClass::skip: outcome.type = FileOutcome::Type::skipped; return outcome;
            case CompressionErrorClass::incompressible: outcome.type = FileOutcome::Type::incompressible; return outcome;
            case CompressionErrorClass::failure: break;
        }
        outcome.type = FileOutcome::Type::failure;
        outcome.reason = failureReason(error);
    }
    log.sizeBefore = outcome.rowSize;
    log.sizeAfter = outcome.rowSize;
    log.algorithm.assign(1, '-');
    log.success = false;
    log.errorMessage = outcome.reason;
    outcome.log = std::move(log);
    return outcome;
}

}  // namespace

void BulkOperationRunner::processFile(const DisplayRow& row, Kind kind, engine::SwapBatch& batch,
                                      const std::function<void(FileOutcome)>& deliver)
{
    const auto started = std::chrono::steady_clock::now();
    const auto finish = [row, kind, started, deliver](engine::SwapBatch::Outcome done) {
        const auto elapsedMs = static_cast<std::int64_t>(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() * 1000);
        deliver(outcomeOf(row, kind, done, elapsedMs));
    };
    const engine::FileCompressor compressor;
    try {
        if (kind == Kind::compress)
            compressor.compressFile(row.url, streamingThreshold, batch, finish);
        else
            compressor.decompressFile(row.url, streamingThreshold, batch, finish);
    } catch (const std::exception&) {
        finish({std::nullopt, std::current_exception()});
    }
}

void BulkOperationRunner::record(OperationProgress& progress, FileOutcome outcome,
                                 const std::set<std::string>& incompressiblePaths)
{
    switch (outcome.type) {
        case FileOutcome::Type::success:
            progress.addBytesSavedSoFar(outcome.bytesSaved);
            progress.addBytesProcessedSoFar(outcome.bytesBefore);
            progress.addCurrent(1);
            progress.addSucceededCount(1);
            progress.appendPendingLog(std::move(*outcome.log));
            if (incompressiblePaths.contains(outcome.path))
                progress.insertClearedIncompressiblePath(outcome.path);
            return;
        case FileOutcome::Type::skipped:
        case FileOutcome::Type::incompressible:
            progress.addBytesProcessedSoFar(outcome.rowSize);
            progress.addCurrent(1);
            progress.addSkippedCount(1);
            progress.addSkippedBytes(outcome.rowSize);
            if (outcome.type == FileOutcome::Type::incompressible) {
                progress.insertIncompressibleRowID(outcome.rowID);
                progress.appendPendingIncompressible({outcome.path, outcome.rowSize});
            }
            return;
        case FileOutcome::Type::failure:
            progress.appendFailure({store::Uuid::random(), outcome.displayName, outcome.reason});
            progress.addBytesProcessedSoFar(outcome.rowSize);
            progress.addCurrent(1);
            progress.appendPendingLog(std::move(*outcome.log));
            return;
    }
}

}  // namespace kelvane::operations
