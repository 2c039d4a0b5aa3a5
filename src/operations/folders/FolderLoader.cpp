// SPDX-License-Identifier: MIT
#include "operations/folders/FolderLoader.h"

#include "discovery/CancellationError.h"
#include "discovery/FileSystemSearcher.h"
#include "discovery/SecurityScopedBookmark.h"
#include "display/VisibleName.h"
#include "operations/folders/ChildInspectionWorker.h"
#include "operations/mounts/MountKeeper.h"
#include "operations/rows/FileAttributes.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/threads/MainThread.h"
#include "operations/bulk/PublicFailureText.h"
#include "operations/folders/ScanActivity.h"
#include "operations/threads/WorkerJobs.h"
#include "platform/Logger.h"
#include "store/RegisteredItem.h"

#include <QPointer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>

namespace kelvane::operations {

namespace {

using platform::Logger;
using Item = std::shared_ptr<store::RegisteredItem>;
using SteadyClock = std::chrono::steady_clock;

std::string twoDecimals(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// A child row with what the file itself says (date, size, stars); the
// status cache's part is filled in on the main thread. Date and size are the
// ones the search has just read from the file: reading them a second time
// would double the file-system calls of the whole load for nothing.
// The mount over `path` when it does not answer: nothing below it can be
// listed, and the failure the listing gives says less than this.
std::optional<platform::MountService> unansweringMount(const std::filesystem::path& path)
{
    platform::MountService service = platform::mountServiceOf(path);
    if (service.state == platform::MountService::State::dead ||
        service.state == platform::MountService::State::unreachable)
        return service;
    return std::nullopt;
}

DisplayRow makeChildRow(const store::Uuid& folderID, discovery::FileCandidate&& candidate)
{
    DisplayRow row;
    row.id = RowId::child(folderID, candidate.url);
    row.displayName = candidate.url.filename().string();
    row.kind = DisplayRow::DisplayKind::file;
    if (candidate.modificationDate != discovery::kDistantPast)
        row.mtime = candidate.modificationDate;
    row.logicalSize = candidate.size;
    row.stars = starsForFileName(candidate.url);
    row.url = std::move(candidate.url);
    return row;
}

// The child rows of the search's files, in its order. Built on several
// threads: on operations_bench's 100,000 files one thread took about 80 ms,
// eight take about 40 ms, most of it the first touch of the rows' memory.
std::vector<DisplayRow> makeChildRows(const store::Uuid& folderID, std::vector<discovery::FileCandidate>&& candidates)
{
    constexpr std::size_t kRowsPerThread = 1024;  // about 1 ms of work: well above a thread's start
    std::vector<DisplayRow> rows(candidates.size());
    const std::size_t threads =
        std::clamp<std::size_t>(rows.size() / kRowsPerThread, 1, static_cast<std::size_t>(activeProcessorCount()));
    const std::vector<Slice> slices = sliceEvenly(rows.size(), threads);
    runSlicesInParallel(slices.size(), [&](std::size_t index) {
        for (std::size_t i = slices[index].begin; i < slices[index].end; ++i)
            rows[i] = makeChildRow(folderID, std::move(candidates[i]));
    });
    return rows;
}

}  // namespace

// One run of loadAll: the folders to load and how far it got.
struct FolderLoader::Loop {
    QPointer<FolderLoader> loader;
    std::vector<Item> folders;
    std::size_t next = 0;
    std::shared_ptr<ScanActivity> activity;
    TaskHandle loop;
    TaskHandle outer;
    std::unique_ptr<CancellationLink> link;
};

FolderLoader::FolderLoader(FileStatusCache& cache, QObject* parent)
    : QObject(parent), cache_(cache), incompressiblePaths_(std::make_shared<const std::set<std::string>>())
{
}

void FolderLoader::setIncompressiblePaths(std::set<std::string> paths)
{
    incompressiblePaths_ = std::make_shared<const std::set<std::string>>(std::move(paths));
}

int FolderLoader::inspectionWorkerCount(int activeProcessors) { return std::min(std::max(activeProcessors, 2), 8); }

FolderLoader::Run FolderLoader::loadAll(std::vector<Item> folders)
{
    TaskHandle outer;
    if (folders.empty()) {
        Logger::ui().info("loadAllFolderChildren done (nothing to load)");
        outer.finish();
        return {nullptr, outer};
    }
    auto loop = std::make_shared<Loop>();
    loop->loader = this;
    loop->folders = std::move(folders);
    loop->activity = std::make_shared<ScanActivity>();
    loop->activity->setFolderTotal(static_cast<long long>(loop->folders.size()));
    loop->activity->setTask(loop->loop);
    loop->outer = outer;
    loop->link = std::make_unique<CancellationLink>(outer, loop->loop);
    const Run run{loop->activity, outer};
    step(loop);
    return run;
}

void FolderLoader::step(const std::shared_ptr<Loop>& loop)
{
    if (!loop->loader || loop->loop.isCancelled() || loop->next >= loop->folders.size()) {
        Logger::ui().info("loadAllFolderChildren done%s", loop->activity->wasCancelled() ? " (cancelled)" : "");
        loop->loop.finish();
        loop->link.reset();
        loop->outer.finish();
        return;
    }
    const Item item = loop->folders[loop->next++];
    loop->activity->setFolderIndex(static_cast<long long>(loop->next));
    loop->activity->setFolderName(item->displayName());
    loop->activity->setPhase(ScanActivity::Enumerating{0});
    // Each folder starts on a fresh turn of the event loop, so a run of
    // failing folders never nests calls.
    loop->loader->loadFolder(item, loop->activity, loop->loop,
                             [loop] { postToMainThread([loop] { step(loop); }); });
}

TaskHandle FolderLoader::load(const Item& item)
{
    TaskHandle task;
    loadFolder(item, nullptr, task, [task] { task.finish(); });
    return task;
}

void FolderLoader::loadFolder(const Item& item, std::shared_ptr<ScanActivity> activity, TaskHandle task, Done done)
{
    const store::Uuid folderID = item->id();
    const std::string name = item->displayName();
    Logger::ui().info("loadChildren start: %{private}s [%s]", name, folderID.toString());
    emit folderLoadStarted(folderID);

    QPointer<FolderLoader> self(this);
    auto finish = [self, folderID, name, done = std::move(done)] {
        if (self)
            emit self->folderLoadEnded(folderID);
        Logger::ui().info("loadChildren done: %{private}s", name);
        done();
    };

    discovery::SecurityScopedBookmark::Resolved resolved;
    try {
        resolved = discovery::SecurityScopedBookmark::resolveBookmark(item->bookmark());
    } catch (const std::exception&) {
        Logger::ui().error("loadChildren: bookmark resolution failed for %{private}s", name);
        if (const auto where = registeredPathOf(*item))
            if (const auto service = unansweringMount(where->path)) {
                emit folderUnserved(folderID, *service);
                finish();
                return;
            }
        emit folderFailed(folderID, "「" + display::visibleName(name).toStdString() +
                                        "」にアクセスできませんでした。\n対処: フォルダが移動または削除されていないか確認し、登録し直してください。");
        finish();
        return;
    }
    discovery::SearchCriteria criteria;
    criteria.rootURL = resolved.url;
    criteria.recursive = item->includeSubfolders();
    criteria.excludeAlreadyCompressed = false;
    criteria.excludeHidden = true;

    std::weak_ptr<ScanActivity> weakActivity = activity;
    const bool reportProgress = activity != nullptr;
    const std::stop_token stop = task.stopToken();
    using Rows = std::vector<DisplayRow>;
    struct Listing {
        Rows rows;
        std::optional<platform::MountService> unserved;
    };
    runForOutcome<Listing>(
        [criteria, weakActivity, reportProgress, stop, folderID] {
            if (auto service = unansweringMount(criteria.rootURL))
                return Listing{{}, std::move(service)};
            discovery::FileSystemSearcher::ProgressCallback progress;
            if (reportProgress) {
                progress = [weakActivity](const discovery::SearchProgress& report) {
                    postToMainThread([weakActivity, scanned = report.scanned] {
                        if (auto a = weakActivity.lock())
                            a->setPhase(ScanActivity::Enumerating{scanned});
                    });
                };
            }
            return Listing{
                makeChildRows(folderID, discovery::FileSystemSearcher().search(criteria, progress, {}, stop)), {}};
        },
        [self, folderID, name, root = resolved.url, activity, task,
         finish = std::move(finish)](TaskOutcome<Listing> listing) mutable {
            if (!self)
                return finish();
            Rows found;
            try {
                Listing listed = std::move(listing).get();
                if (listed.unserved) {
                    emit self->folderUnserved(folderID, *listed.unserved);
                    return finish();
                }
                found = std::move(listed.rows);
            } catch (const discovery::CancellationError&) {
                Logger::ui().info("loadChildren cancelled: %{private}s", name);
                return finish();
            } catch (const std::exception& error) {
                Logger::ui().error("loadChildren failed: %{private}s: %{public}s", name,
                                   publicFailureText(error.what(), {root}));
                if (const auto service = unansweringMount(root)) {
                    emit self->folderUnserved(folderID, *service);
                    return finish();
                }
                emit self->folderFailed(folderID, "「" + display::visibleName(name).toStdString() +
                                                      "」の中身を取得できませんでした。\n対処: フォルダがまだ存在するか確認してください。\n詳細: " +
                                                      display::visibleName(std::string_view(error.what())).toStdString());
                return finish();
            }
            Logger::ui().info("loadChildren: %{private}s found %ld candidates", name, static_cast<long>(found.size()));
            for (DisplayRow& row : found)
                row.applyStatus(self->cache_.entry(row.id));
            auto rows = std::make_shared<const Rows>(std::move(found));
            emit self->folderListed(folderID, rows);
            self->inspect(std::move(rows), activity, task, std::move(finish));
        });
}

void FolderLoader::inspect(DisplayRow::Children rows, std::shared_ptr<ScanActivity> activity, TaskHandle task, Done done)
{
    const auto isFile = [](const DisplayRow& row) { return row.kind == DisplayRow::DisplayKind::file; };
    if (!rows)
        rows = std::make_shared<const std::vector<DisplayRow>>();
    if (!std::all_of(rows->begin(), rows->end(), isFile)) {
        auto files = std::make_shared<std::vector<DisplayRow>>();
        std::copy_if(rows->begin(), rows->end(), std::back_inserter(*files), isFile);
        rows = std::move(files);
    }
    const std::size_t n = rows->size();
    if (n == 0) {
        done();
        return;
    }
    const int workers = inspectionWorkerCount(activeProcessorCount());
    Logger::ui().info("inspectChildren start: total=%{public}ld workers=%{public}ld", static_cast<long>(n),
                      static_cast<long>(workers));
    const SteadyClock::time_point started = SteadyClock::now();
    if (activity)
        activity->setPhase(ScanActivity::Inspecting{0, static_cast<long long>(n)});

    // What the workers' batches are delivered to, on the main thread.
    struct Target {
        QPointer<FileStatusCache> cache;
        std::weak_ptr<ScanActivity> activity;
    };
    auto target = std::make_shared<Target>(Target{&cache_, activity});
    std::weak_ptr<Target> weakTarget = target;

    const DisplayRow::Children input = std::move(rows);
    const auto paths = incompressiblePaths_;
    const std::stop_token stop = task.stopToken();

    std::vector<std::function<WorkerStats()>> jobs;
    for (const Slice& slice : sliceEvenly(n, static_cast<std::size_t>(workers))) {
        jobs.push_back([input, paths, slice, stop, weakTarget] {
            ChildInspectionWorker worker(*paths, [stop, weakTarget](ChildInspectionWorker::Batch&& batch) {
                runOnMainThreadAndWait(
                    [weakTarget, batch = std::move(batch)]() mutable {
                        const auto t = weakTarget.lock();
                        if (!t)
                            return;
                        const auto count = static_cast<long long>(batch.size());
                        if (t->cache)
                            t->cache->setEntries(std::move(batch));
                        if (const auto a = t->activity.lock()) {
                            if (const auto* phase = std::get_if<ScanActivity::Inspecting>(&a->phase())) {
                                const long long advanced =
                                    std::min(phase->total, phase->done + count);
                                a->setPhase(ScanActivity::Inspecting{advanced, phase->total});
                            }
                        }
                    },
                    stop);
            });
            return worker.run(std::span<const DisplayRow>(input->data() + slice.begin, slice.end - slice.begin), stop);
        });
    }

    runOnWorkers<WorkerStats>(
        std::move(jobs), [target, n, started, done = std::move(done)](std::vector<WorkerStats> all) {
            WorkerStats sum;
            for (const WorkerStats& stats : all)
                sum += stats;
            const double elapsed = std::chrono::duration<double>(SteadyClock::now() - started).count();
            const double rate = elapsed > 0 ? static_cast<double>(n) / elapsed : 0;
            Logger::ui().info(
                "inspectChildren done: total=%{public}ld elapsed=%{public}ss rate=%{public}s files/s "
                "errors=%{public}ld inspect=%{public}ss flush=%{public}ss",
                static_cast<long>(n), twoDecimals(elapsed), twoDecimals(rate), static_cast<long>(sum.errors),
                twoDecimals(sum.inspectSec), twoDecimals(sum.flushSec));
            done();
        });
}

}  // namespace kelvane::operations
