// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/SearchCriteria.h"
#include "discovery/SearchProgress.h"
#include "discovery/WizardPreset.h"
#include "operations/threads/TaskHandle.h"
#include "operations/sheets/WizardCandidate.h"
#include "operations/sheets/WizardSheetModel.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::operations {

// The state of a wizard preset's detail page: a scan of the preset folder for
// files worth compressing, its candidates (at most 200 of them shown), the
// user's pick, and its registration. Main thread; the search runs on the
// worker pool. Every scan has a generation: whatever an older scan still
// reports after a restart or a failed start is dropped.
class WizardPresetScanModel final : public QObject {
    Q_OBJECT
public:
    using SortOrder = std::vector<SortKey<WizardCandidate::Key>>;
    using OnRegistered = std::function<void(const WizardSheetModel::DetailRegistration&)>;

    static constexpr std::size_t displayLimit = 200;
    static constexpr std::uint64_t minimumSize = 65536;

    WizardPresetScanModel(discovery::WizardPreset preset, store::ModelContext& context, OnRegistered onRegistered,
                          QObject* parent = nullptr);
    ~WizardPresetScanModel() override;

    const discovery::WizardPreset& preset() const { return preset_; }
    const std::vector<WizardCandidate>& candidates() const { return candidates_; }
    std::vector<WizardCandidate> displayedCandidates() const;
    const std::set<std::filesystem::path>& selection() const { return selection_; }
    bool isScanning() const { return isScanning_; }
    const std::optional<QString>& scanError() const { return scanError_; }
    const discovery::SearchProgress& progress() const { return progress_; }
    bool useExtensionFilter() const { return useExtensionFilter_; }
    std::int64_t minimumAgeDays() const { return minimumAgeDays_; }
    const SortOrder& sortOrder() const { return sortOrder_; }
    bool hasPriorityExtensions() const;

    // Changing a filter scans again.
    void setUseExtensionFilter(bool value);
    void setMinimumAgeDays(std::int64_t days);
    void setSortOrder(SortOrder order);

    discovery::SearchCriteria makeCriteria() const;
    void startScan();
    void cancelScan();

    void setSelected(const std::filesystem::path& url, bool selected);
    void setSelection(std::set<std::filesystem::path> selection);
    void selectAll();
    void clearSelection();
    void registerSelection();

signals:
    void candidatesChanged();
    void selectionChanged();
    void scanStateChanged();  // isScanning, scanError, progress
    void filtersChanged();

private:
    void appendCandidates(std::vector<WizardCandidate> found);
    void finishScan();
    void failScan(const QString& error);
    void sortCandidates();

    discovery::WizardPreset preset_;
    store::ModelContext& context_;
    OnRegistered onRegistered_;
    std::vector<WizardCandidate> candidates_;
    std::size_t sortedCount_ = 0;  // the leading candidates already in sortOrder_
    std::set<std::filesystem::path> selection_;
    bool isScanning_ = false;
    std::optional<QString> scanError_;
    discovery::SearchProgress progress_;
    std::optional<TaskHandle> scanTask_;
    std::uint64_t generation_ = 0;
    bool useExtensionFilter_ = true;
    std::int64_t minimumAgeDays_ = 0;
    SortOrder sortOrder_{{WizardCandidate::Key::size, SortKey<WizardCandidate::Key>::Order::reverse}};
};

}  // namespace kelvane::operations
