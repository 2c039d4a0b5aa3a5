#include "operations/SheetSearch.h"

#include "discovery/CancellationError.h"
#include "discovery/FileSystemSearcher.h"
#include "discovery/RegistrationCoordinator.h"
#include "operations/CompressionCheckerForSearch.h"
#include "operations/MainThread.h"
#include "operations/WorkerJobs.h"
#include "platform/Logger.h"

#include <memory>

namespace kelvane::operations {

TaskHandle runSheetSearch(discovery::SearchCriteria criteria, SheetSearchCallbacks callbacks)
{
    // Only ever touched on the main thread; the worker just carries it.
    auto shared = std::make_shared<SheetSearchCallbacks>(std::move(callbacks));
    auto work = [criteria = std::move(criteria), shared](std::stop_token stop) {
        auto progress = [shared](const discovery::SearchProgress& report) {
            postToMainThread([shared, report] {
                if (shared->isCurrent() && shared->progress)
                    shared->progress(report);
            });
        };
        auto match = [shared](const discovery::FileCandidate& candidate) {
            postToMainThread([shared, candidate] {
                if (shared->isCurrent() && shared->match)
                    shared->match(candidate);
            });
        };
        discovery::FileSystemSearcher(&compressionCheckerForSearch).search(criteria, progress, match, stop);
        return true;
    };
    return runTask<bool>(std::move(work), [shared](TaskOutcome<bool> outcome) {
        if (!shared->isCurrent() || !shared->end)
            return;
        SheetSearchEnd end;
        try {
            std::move(outcome).get();
        } catch (const discovery::CancellationError&) {
            end.kind = SheetSearchEnd::Kind::cancelled;
        } catch (const std::exception& error) {
            end = {SheetSearchEnd::Kind::failed, QString::fromStdString(error.what())};
        }
        shared->end(end);
    });
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
                outcome.firstError = QString::fromStdString(error.what());
        }
    }
    return outcome;
}

}  // namespace kelvane::operations
