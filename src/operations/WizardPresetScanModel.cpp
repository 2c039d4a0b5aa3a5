#include "operations/WizardPresetScanModel.h"

#include "operations/ChangeSignal.h"
#include "operations/ExtensionSet.h"
#include "operations/FileCandidateRow.h"
#include "operations/SheetSearch.h"
#include "platform/Logger.h"

#include <QDateTime>
#include <QPointer>

#include <limits>

namespace kelvane::operations {

namespace {

// `days` calendar days before now; none when the calendar or the clock
// cannot hold that date.
std::optional<std::chrono::system_clock::time_point> daysAgo(std::int64_t days)
{
    if (days > std::numeric_limits<int>::max())
        return std::nullopt;
    return searchDate(QDateTime::currentDateTime().addDays(-days));
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
    if (assignAndNotify(this, useExtensionFilter_, value, &WizardPresetScanModel::filtersChanged))
        startScan();
}

void WizardPresetScanModel::setMinimumAgeDays(std::int64_t days)
{
    if (assignAndNotify(this, minimumAgeDays_, days, &WizardPresetScanModel::filtersChanged))
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

    QPointer<WizardPresetScanModel> self(this);
    SheetSearchCallbacks callbacks;
    callbacks.isCurrent = [self, generation] { return self && self->generation_ == generation; };
    callbacks.progress = [self](const discovery::SearchProgress& report) {
        self->progress_ = report;
        emit self->scanStateChanged();
    };
    callbacks.match = [self](discovery::FileCandidate found) {
        self->appendCandidate({found.url, found.size, found.modificationDate, expectationStars(found.url)});
    };
    callbacks.end = [self](const SheetSearchEnd& end) {
        // A stop is an end like any other: what was found stays.
        if (end.kind == SheetSearchEnd::Kind::failed)
            self->failScan(end.error);
        else
            self->finishScan();
    };
    scanTask_ = runSheetSearch(criteria, std::move(callbacks));
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
    assignAndNotify(this, selection_, std::move(selection), &WizardPresetScanModel::selectionChanged);
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
    const FileRegistrationOutcome outcome = registerFiles(selection_, context_);
    if (onRegistered_)
        onRegistered_(outcome);
}

}  // namespace kelvane::operations
