// SPDX-License-Identifier: MIT
#include "operations/sheets/WizardPresetScanModel.h"

#include "display/VisibleName.h"
#include "operations/threads/ChangeSignal.h"
#include "operations/sheets/ExtensionSet.h"
#include "operations/sheets/FileCandidateRow.h"
#include "operations/sheets/SheetSearch.h"
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
    sortedCount_ = 0;
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
    ++generation_;
    candidates_.clear();
    sortedCount_ = 0;
    selection_.clear();
    scanError_.reset();
    progress_ = {};
    emit candidatesChanged();
    emit selectionChanged();

    std::error_code error;
    if (!std::filesystem::is_directory(preset_.resolvedPath, error)) {
        scanError_ = QStringLiteral("対象フォルダが見つかりません: ") + display::visibleName(preset_.displayPath());
        isScanning_ = false;
        emit scanStateChanged();
        return;
    }
    const discovery::SearchCriteria criteria = makeCriteria();
    isScanning_ = true;
    emit scanStateChanged();

    QPointer<WizardPresetScanModel> self(this);
    SheetSearchCallbacks callbacks = callbacksOfLatestSearch(this, &WizardPresetScanModel::generation_,
                                                             &WizardPresetScanModel::progress_,
                                                             &WizardPresetScanModel::scanStateChanged);
    callbacks.matches = [self](std::vector<discovery::FileCandidate> found) {
        std::vector<WizardCandidate> candidates;
        candidates.reserve(found.size());
        for (discovery::FileCandidate& file : found) {
            const int stars = expectationStars(file.url);
            candidates.push_back({std::move(file.url), file.size, file.modificationDate, stars});
        }
        self->appendCandidates(std::move(candidates));
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

void WizardPresetScanModel::appendCandidates(std::vector<WizardCandidate> found)
{
    const std::size_t before = candidates_.size();
    candidates_.insert(candidates_.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    // Sorted again each time the count passes a multiple of 200, so the best
    // rows come to the top while the scan runs.
    if (candidates_.size() / displayLimit != before / displayLimit)
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
    scanError_ = QStringLiteral("走査に失敗: ") + display::visibleName(error);
    emit scanStateChanged();
}

void WizardPresetScanModel::sortCandidates()
{
    // Only the rows added since the last sort are sorted, then merged in. On
    // 100,000 matches a whole sort per 200 was 500 sorts of up to 100,000 rows.
    sortTailByKeys(candidates_, sortedCount_, sortOrder_, &WizardCandidate::compare);
    sortedCount_ = candidates_.size();
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
