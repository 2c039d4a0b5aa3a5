#include "operations/WizardPresetScanModel.h"

#include "discovery/CancellationError.h"
#include "discovery/FileSystemSearcher.h"
#include "discovery/RegistrationCoordinator.h"
#include "operations/CompressionCheckerForSearch.h"
#include "operations/ExtensionSet.h"
#include "operations/FileCandidateRow.h"
#include "operations/MainThread.h"
#include "operations/WorkerJobs.h"
#include "platform/Logger.h"

#include <QDateTime>
#include <QPointer>

#include <limits>

namespace kelvane::operations {

namespace {

constexpr int kUserInitiatedPriority = 1;

// `days` calendar days before now; none when the calendar or the clock
// cannot hold that date.
std::optional<std::chrono::system_clock::time_point> daysAgo(std::int64_t days)
{
    if (days > std::numeric_limits<int>::max())
        return std::nullopt;
    const QDateTime date = QDateTime::currentDateTime().addDays(-days);
    if (!date.isValid())
        return std::nullopt;
    using Clock = std::chrono::system_clock;
    constexpr qint64 limit = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration::max()).count();
    const qint64 ms = date.toMSecsSinceEpoch();
    if (ms <= -limit || ms >= limit)
        return std::nullopt;
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(ms)));
}

}  // namespace

WizardPresetScanModel::WizardPresetScanModel(discovery::WizardPreset preset, store::ModelContext& context,
                                             OnRegistered onRegistered, QObject* parent)
    : QObject(parent),
      preset_(std::move(preset)),
      context_(context),
      onRegistered_(std::move(onRegistered)),
      minimumAgeDays_(preset_.recommendedMinimumAgeDays.value_or(0))
{
}

WizardPresetScanModel::~WizardPresetScanModel()
{
    if (scanTask_)
        scanTask_->cancel();
}

std::vector<WizardCandidate> WizardPresetScanModel::displayedCandidates() const
{
    const auto end = candidates_.begin() + static_cast<std::ptrdiff_t>(std::min(candidates_.size(), displayLimit));
    return {candidates_.begin(), end};
}

bool WizardPresetScanModel::hasPriorityExtensions() const
{
    return preset_.priorityExtensions && !preset_.priorityExtensions->empty();
}

void WizardPresetScanModel::setUseExtensionFilter(bool value)
{
    if (value == useExtensionFilter_)
        return;
    useExtensionFilter_ = value;
    emit filtersChanged();
    startScan();
}

void WizardPresetScanModel::setMinimumAgeDays(std::int64_t days)
{
    if (days == minimumAgeDays_)
        return;
    minimumAgeDays_ = days;
    emit filtersChanged();
    startScan();
}

void WizardPresetScanModel::setSortOrder(SortOrder order)
{
    if (order == sortOrder_)
        return;
    sortOrder_ = std::move(order);
    sortCandidates();
    emit candidatesChanged();
}

discovery::SearchCriteria WizardPresetScanModel::makeCriteria() const
{
    discovery::SearchCriteria criteria;
    criteria.rootURL = preset_.resolvedPath;
    criteria.recursive = true;
    if (minimumAgeDays_ >= 1)
        criteria.modifiedBefore = daysAgo(minimumAgeDays_);
    criteria.minSize = minimumSize;
    if (useExtensionFilter_ && hasPriorityExtensions()) {
        auto set = extensionSet(*preset_.priorityExtensions);
        if (!set.empty())
            criteria.extensionFilter = discovery::ExtensionFilter(discovery::ExtensionFilter::includeOnly{std::move(set)});
    }
    criteria.excludeAlreadyCompressed = true;
    criteria.excludeHidden = true;
    return criteria;
}

void WizardPresetScanModel::startScan()
{
    if (scanTask_)
        scanTask_->cancel();
    // Moves on even when no scan follows, so an older scan's end is dropped.
    const std::uint64_t generation = ++generation_;
    candidates_.clear();
    selection_.clear();
    scanError_.reset();
    progress_ = {};
    emit candidatesChanged();
    emit selectionChanged();

    std::error_code error;
    if (!std::filesystem::is_directory(preset_.resolvedPath, error)) {
        scanError_ = QStringLiteral("対象フォルダが見つかりません: ") + QString::fromStdString(preset_.displayPath());
        isScanning_ = false;
        emit scanStateChanged();
        return;
    }
    const discovery::SearchCriteria criteria = makeCriteria();
    isScanning_ = true;
    emit scanStateChanged();

    TaskHandle task;
    scanTask_ = task;
    QPointer<WizardPresetScanModel> self(this);
    auto current = [self, generation] { return self && self->generation_ == generation; };

    struct Outcome {
        bool failed = false;
        QString error;
    };
    std::vector<std::function<Outcome()>> jobs{[criteria, current, self, stop = task.stopToken()] {
        auto progress = [current, self](const discovery::SearchProgress& report) {
            postToMainThread([current, self, report] {
                if (!current())
                    return;
                self->progress_ = report;
                emit self->scanStateChanged();
            });
        };
        auto match = [current, self](const discovery::FileCandidate& found) {
            WizardCandidate candidate{found.url, found.size, found.modificationDate, expectationStars(found.url)};
            postToMainThread([current, self, candidate = std::move(candidate)]() mutable {
                if (current())
                    self->appendCandidate(std::move(candidate));
            });
        };
        try {
            discovery::FileSystemSearcher(&compressionCheckerForSearch).search(criteria, progress, match, stop);
            return Outcome{};
        } catch (const discovery::CancellationError&) {
            return Outcome{};
        } catch (const std::exception& failure) {
            return Outcome{true, QString::fromStdString(failure.what())};
        }
    }};
    runOnWorkers<Outcome>(
        std::move(jobs),
        [current, self, task](std::vector<Outcome> outcomes) {
            task.finish();
            if (!current())
                return;
            if (outcomes.front().failed)
                self->failScan(outcomes.front().error);
            else
                self->finishScan();
        },
        kUserInitiatedPriority);
}

void WizardPresetScanModel::cancelScan()
{
    if (scanTask_)
        scanTask_->cancel();
}

void WizardPresetScanModel::appendCandidate(WizardCandidate candidate)
{
    candidates_.push_back(std::move(candidate));
    if (candidates_.size() % displayLimit == 0)
        sortCandidates();
    emit candidatesChanged();
}

void WizardPresetScanModel::finishScan()
{
    sortCandidates();
    isScanning_ = false;
    emit candidatesChanged();
    emit scanStateChanged();
}

void WizardPresetScanModel::failScan(const QString& error)
{
    platform::Logger::ui().error("wizard scan failed: %{public}s", error.toStdString());
    isScanning_ = false;
    scanError_ = QStringLiteral("走査に失敗: ") + error;
    emit scanStateChanged();
}

void WizardPresetScanModel::sortCandidates()
{
    sortByKeys(candidates_, sortOrder_, &WizardCandidate::compare);
}

void WizardPresetScanModel::setSelected(const std::filesystem::path& url, bool selected)
{
    const bool changed = selected ? selection_.insert(url).second : selection_.erase(url) > 0;
    if (changed)
        emit selectionChanged();
}

void WizardPresetScanModel::setSelection(std::set<std::filesystem::path> selection)
{
    if (selection == selection_)
        return;
    selection_ = std::move(selection);
    emit selectionChanged();
}

void WizardPresetScanModel::selectAll()
{
    bool changed = false;
    for (const WizardCandidate& candidate : displayedCandidates())
        changed |= selection_.insert(candidate.url).second;
    if (changed)
        emit selectionChanged();
}

void WizardPresetScanModel::clearSelection()
{
    setSelection({});
}

void WizardPresetScanModel::registerSelection()
{
    WizardSheetModel::DetailRegistration outcome;
    const discovery::RegistrationCoordinator coordinator;
    for (const auto& url : selection_) {
        try {
            if (coordinator.registerItem(url, discovery::ItemKind::file, false, context_)
                    .as<discovery::RegistrationDecision::willRegister>())
                ++outcome.registered;
        } catch (const std::exception& error) {
            platform::Logger::ui().error("wizard file registration failed for %{private}s: %{public}s", url.string(),
                                         error.what());
            if (outcome.failed++ == 0)
                outcome.firstError = QString::fromStdString(error.what());
        }
    }
    if (onRegistered_)
        onRegistered_(outcome);
}

}  // namespace kelvane::operations
