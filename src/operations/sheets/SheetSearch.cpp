// SPDX-License-Identifier: MIT
#include "operations/sheets/SheetSearch.h"

#include "discovery/CancellationError.h"
#include "discovery/FileSystemSearcher.h"
#include "discovery/RegistrationCoordinator.h"
#include "display/VisibleName.h"
#include "operations/sheets/CompressionCheckerForSearch.h"
#include "operations/threads/MainThread.h"
#include "operations/threads/WorkerJobs.h"
#include "platform/Logger.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

namespace kelvane::operations {

namespace {

// What the worker has found and the main thread has not taken yet. The
// worker posts one wake-up when the first item arrives; the main thread then
// takes what has come, no sooner than `sheetSearchBatchInterval` after its
// last hand-over, and at most `chunk` matches per turn of the event loop, so
// the window draws between two hand-overs. Measured on ui_bench's 100,000
// matches: one posted call per match kept the window from drawing for 20 s
// and queued a press of "停止" behind every match found; handing all that had
// come at once took up to 73 ms a time (about 1.5 us a match).
class PendingReports {
public:
    static constexpr std::size_t chunk = 2000;

    explicit PendingReports(SheetSearchCallbacks callbacks) : callbacks_(std::move(callbacks)) {}

    // --- worker threads ---
    void addMatch(const discovery::FileCandidate& candidate)
    {
        std::lock_guard lock(mutex_);
        matches_.push_back(candidate);
        wakeLocked();
    }
    void setProgress(const discovery::SearchProgress& report)
    {
        std::lock_guard lock(mutex_);
        progress_ = report;
        wakeLocked();
    }

    // --- main thread ---
    // After the last report: what is still waiting is handed over, then the end.
    // A stop has set the end already: the worker's own comes too late.
    void end(const SheetSearchEnd& end)
    {
        if (!end_)
            end_ = end;
        arm(std::chrono::milliseconds(0));
    }
    bool isCurrent() const { return callbacks_.isCurrent(); }
    // The search's own. Once it is asked to stop, what has not been handed
    // over yet is dropped and the search ends for the window at once, without
    // waiting for the worker to get to its next check. Measured on 400,000
    // matches: the worker had found them all long before the window had taken
    // them in, and handing over the rest after "停止" kept the main thread busy
    // for 5-6 s; on a loaded machine the worker's own end came seconds later.
    void setStopToken(std::stop_token stop)
    {
        stop_ = stop;
        onStop_.emplace(std::move(stop), StopNow{self});
    }

    std::weak_ptr<PendingReports> self;

private:
    // Runs on the thread that asks for the stop.
    struct StopNow {
        std::weak_ptr<PendingReports> pending;
        void operator()() const
        {
            postToMainThread([pending = pending.lock()] {
                if (pending)
                    pending->end({SheetSearchEnd::Kind::cancelled, {}});
            });
        }
    };

    void wakeLocked()
    {
        if (woken_)
            return;
        woken_ = true;
        postToMainThread([pending = self.lock()] {
            if (pending->armed_)
                return;
            const auto due = pending->lastDelivery_ + sheetSearchBatchInterval;
            pending->arm(std::max(std::chrono::ceil<std::chrono::milliseconds>(due - std::chrono::steady_clock::now()),
                                  std::chrono::milliseconds(0)));
        });
    }

    // One hand-over after `delay`; an earlier one armed before is dropped.
    void arm(std::chrono::milliseconds delay)
    {
        armed_ = true;
        const std::uint64_t token = ++armedToken_;
        // Holds the reports until it has run: the search may have ended and
        // let go of them.
        QTimer::singleShot(delay, QCoreApplication::instance(), [pending = self.lock(), token] {
            if (pending->armedToken_ == token)
                pending->deliver();
        });
    }

    void deliver()
    {
        armed_ = false;
        lastDelivery_ = std::chrono::steady_clock::now();
        if (ended_) {
            // What a stopped worker still reported: nobody is told any more.
            std::lock_guard lock(mutex_);
            matches_.clear();
            taken_ = 0;
            progress_.reset();
            woken_ = false;
            return;
        }
        if (stop_.stop_requested() && dropWaiting() && end_)
            end_->kind = SheetSearchEnd::Kind::cancelled;  // it had ended, but not yet for the window
        const bool current = callbacks_.isCurrent();
        std::vector<discovery::FileCandidate> matches;
        std::optional<discovery::SearchProgress> progress;
        bool more = false;
        {
            std::lock_guard lock(mutex_);
            // A search that no longer counts is emptied at once.
            const std::size_t waiting = matches_.size() - taken_;
            const std::size_t count = current ? std::min(chunk, waiting) : waiting;
            if (taken_ == 0 && count == waiting) {
                matches.swap(matches_);
            } else {
                const auto from = matches_.begin() + static_cast<std::ptrdiff_t>(taken_);
                matches.assign(std::make_move_iterator(from),
                               std::make_move_iterator(from + static_cast<std::ptrdiff_t>(count)));
                taken_ += count;
                if (taken_ == matches_.size()) {
                    matches_.clear();
                    taken_ = 0;
                }
            }
            progress.swap(progress_);
            more = matches_.size() > taken_;
            if (!more)
                woken_ = false;
        }
        if (!current)
            return;
        if (progress && callbacks_.progress)
            callbacks_.progress(*progress);
        if (!matches.empty() && callbacks_.matches)
            callbacks_.matches(std::move(matches));
        if (more)
            arm(std::chrono::milliseconds(0));
        else if (end_ && !ended_ && callbacks_.isCurrent() && callbacks_.end) {
            ended_ = true;
            callbacks_.end(*end_);
        }
    }

    // True when there was something to drop.
    bool dropWaiting()
    {
        std::lock_guard lock(mutex_);
        const bool any = matches_.size() > taken_;
        matches_.clear();
        taken_ = 0;
        return any;
    }

    SheetSearchCallbacks callbacks_;  // the rest of this block: main thread only
    std::stop_token stop_;
    std::optional<std::stop_callback<StopNow>> onStop_;
    bool ended_ = false;
    std::optional<SheetSearchEnd> end_;
    std::chrono::steady_clock::time_point lastDelivery_;
    bool armed_ = false;
    std::uint64_t armedToken_ = 0;

    std::mutex mutex_;  // guards what follows
    std::vector<discovery::FileCandidate> matches_;
    std::size_t taken_ = 0;  // the leading matches_ already handed over
    std::optional<discovery::SearchProgress> progress_;
    bool woken_ = false;  // a wake-up is posted or the main thread will come back
};

}  // namespace

TaskHandle runSheetSearch(discovery::SearchCriteria criteria, SheetSearchCallbacks callbacks)
{
    auto pending = std::make_shared<PendingReports>(std::move(callbacks));
    pending->self = pending;
    auto work = [criteria = std::move(criteria), pending](std::stop_token stop) {
        auto progress = [pending](const discovery::SearchProgress& report) { pending->setProgress(report); };
        auto match = [pending](const discovery::FileCandidate& candidate) { pending->addMatch(candidate); };
        discovery::FileSystemSearcher(&compressionCheckerForSearch).search(criteria, progress, match, stop);
        return true;
    };
    TaskHandle task = runTask<bool>(std::move(work), [pending](TaskOutcome<bool> outcome) {
        if (!pending->isCurrent())
            return;
        SheetSearchEnd end;
        try {
            std::move(outcome).get();
        } catch (const discovery::CancellationError&) {
            end.kind = SheetSearchEnd::Kind::cancelled;
        } catch (const std::exception& error) {
            end = {SheetSearchEnd::Kind::failed, QString::fromStdString(error.what())};
        }
        pending->end(end);
    });
    // Before any hand-over: those run on this thread, later.
    pending->setStopToken(task.stopToken());
    return task;
}

std::optional<std::chrono::system_clock::time_point> searchDate(const QDateTime& date)
{
    if (!date.isValid())
        return std::nullopt;
    // The clock counts in nanoseconds: about 292 years either side of 1970.
    using Clock = std::chrono::system_clock;
    constexpr qint64 limit = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration::max()).count();
    const qint64 ms = date.toMSecsSinceEpoch();
    if (ms >= limit || ms <= -limit)
        return std::nullopt;
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(ms)));
}

FileRegistrationOutcome registerFiles(const std::set<std::filesystem::path>& files, store::ModelContext& context)
{
    FileRegistrationOutcome outcome;
    const discovery::RegistrationCoordinator coordinator;
    for (const auto& url : files) {
        try {
            if (coordinator.registerItem(url, discovery::ItemKind::file, false, context)
                    .as<discovery::RegistrationDecision::willRegister>())
                ++outcome.registered;
            else
                ++outcome.skipped;
        } catch (const std::exception& error) {
            platform::Logger::ui().error("file registration failed for %{private}s: %{public}s", url.string(),
                                         error.what());
            if (outcome.failed++ == 0)
                outcome.firstError = display::visibleName(std::string_view(error.what()));
        }
    }
    return outcome;
}

}  // namespace kelvane::operations
