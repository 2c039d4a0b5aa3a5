// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/rows/CompressionStatusFilter.h"
#include "operations/rows/DerivedAggregates.h"
#include "operations/rows/DisplayRow.h"
#include "operations/rows/DisplayRowComparator.h"
#include "operations/rows/KindFilter.h"
#include "operations/rows/RowFilterSettings.h"
#include "operations/bulk/OperationProgress.h"
#include "operations/bulk/PendingLargeOp.h"
#include "operations/mounts/MountRefusal.h"
#include "operations/folders/ScanActivity.h"
#include "operations/rows/SizeRangeFilter.h"
#include "operations/threads/TaskHandle.h"
#include "platform/DecmpfsFormat.h"
#include "platform/KelvanefsMount.h"
#include "store/Uuid.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::store {
class ModelContext;
class RegisteredItem;
}  // namespace kelvane::store

namespace kelvane::platform {
class Settings;
}

namespace kelvane::operations {

class FileStatusCache;
class FolderLoader;
class RegisteredMounts;
class StatusInspections;

// The state of the main window and its operations, without any widget: the
// registered items and their loaded folder contents, the scan and bulk-run
// progress, the pending confirmation, the error alert's text, and the
// filtered, sorted rows the table shows. Lives on the main thread; every
// change happens there and is announced only when the value changes (the
// counters of in-place updates excepted). Long work runs on workers and
// never holds up the main thread.
class MainWindowModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(Items items READ items NOTIFY itemsChanged)
    Q_PROPERTY(FolderChildren folderChildren READ folderChildren NOTIFY folderChildrenChanged)
    Q_PROPERTY(long long folderChildrenVersion READ folderChildrenVersion NOTIFY folderChildrenVersionChanged)
    Q_PROPERTY(Uuids loadingFolders READ loadingFolders NOTIFY loadingFoldersChanged)
    Q_PROPERTY(std::shared_ptr<ScanActivity> scanActivity READ scanActivity NOTIFY scanActivityChanged)
    Q_PROPERTY(std::optional<std::string> errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(Paths incompressiblePaths READ incompressiblePaths NOTIFY incompressiblePathsChanged)
    Q_PROPERTY(std::optional<PendingLargeOp> pendingLargeOp READ pendingLargeOp NOTIFY pendingLargeOpChanged)
    Q_PROPERTY(std::shared_ptr<OperationProgress> operationProgress READ operationProgress NOTIFY
                   operationProgressChanged)
    Q_PROPERTY(KindFilter kindFilter READ kindFilter NOTIFY filtersChanged)
    Q_PROPERTY(CompressionStatusFilter statusFilter READ statusFilter NOTIFY filtersChanged)
    Q_PROPERTY(SizeRangeFilter sizeFilter READ sizeFilter NOTIFY filtersChanged)
    Q_PROPERTY(int minStars READ minStars NOTIFY filtersChanged)
    Q_PROPERTY(std::string searchQuery READ searchQuery NOTIFY filtersChanged)
    Q_PROPERTY(SortOrder sortOrder READ sortOrder NOTIFY filtersChanged)
    Q_PROPERTY(Rows displayedRows READ displayedRows NOTIFY derivedRowsChanged)
public:
    using Item = std::shared_ptr<store::RegisteredItem>;
    using Items = std::vector<Item>;
    using FolderChildren = std::unordered_map<store::Uuid, DisplayRow::Children>;
    using Uuids = std::set<store::Uuid>;
    using Paths = std::set<std::string>;
    using SortOrder = std::vector<DisplayRowComparator>;
    using Rows = std::vector<DisplayRow>;

    // `cache` is the process's status cache, `modelContext` the store's main
    // context; both outlive the model.
    MainWindowModel(FileStatusCache& cache, store::ModelContext& modelContext, QObject* parent = nullptr);
    ~MainWindowModel() override;

    FileStatusCache& cache() const { return cache_; }
    store::ModelContext& modelContext() const { return modelContext_; }

    // --- state -------------------------------------------------------------
    const std::vector<Item>& items() const { return items_; }
    void setItems(std::vector<Item> items);

    // A folder with an entry (even an empty list) counts as loaded.
    const FolderChildren& folderChildren() const { return folderChildren_; }
    // Each write raises folderChildrenVersion by 1.
    void setFolderChildren(const store::Uuid& folderID, std::vector<DisplayRow> rows);
    void setFolderChildren(const store::Uuid& folderID, DisplayRow::Children rows);
    void removeFolderChildren(const std::vector<store::Uuid>& folderIDs);
    void removeAllFolderChildren();
    long long folderChildrenVersion() const { return folderChildrenVersion_; }

    const std::set<store::Uuid>& loadingFolders() const { return loadingFolders_; }
    void insertLoadingFolder(const store::Uuid& id);
    void removeLoadingFolder(const store::Uuid& id);

    const std::shared_ptr<ScanActivity>& scanActivity() const { return scanActivity_; }
    void setScanActivity(std::shared_ptr<ScanActivity> activity);

    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    void setErrorMessage(std::optional<std::string> message);

    const std::set<std::string>& incompressiblePaths() const { return incompressiblePaths_; }
    void setIncompressiblePaths(std::set<std::string> paths);
    // Fills incompressiblePaths from the store (empty when it cannot be read).
    void reloadIncompressiblePaths();

    const std::optional<PendingLargeOp>& pendingLargeOp() const { return pendingLargeOp_; }
    void setPendingLargeOp(std::optional<PendingLargeOp> op);
    // The user's answer to the confirmation.
    void confirmPendingLargeOp();
    void dismissPendingLargeOp();

    const std::shared_ptr<OperationProgress>& operationProgress() const { return operationProgress_; }
    void setOperationProgress(std::shared_ptr<OperationProgress> progress);

    // --- folder loading ----------------------------------------------------
    // Loads every registered folder not loaded yet, one after another, with a
    // scan activity. Cancelling the returned task cancels the load.
    TaskHandle loadAllFolderChildren();
    // Loads one folder without a scan activity (refresh of a selection).
    TaskHandle loadChildren(const Item& item);
    // After the items changed: when they differ from the last load's by id,
    // kind or subfolder choice, cancels that load, reloads the incompressible
    // paths and loads the folders (the returned task); nothing otherwise.
    std::optional<TaskHandle> reloadIfItemsChanged();
    // The rescan-everything command: forgets every state, drops the
    // inspections in flight, loads the folders again (the returned task) and
    // inspects the registered files again, so that none is left without a
    // state (one whose bookmark no longer resolves is then shown as missing).
    TaskHandle refreshAll();
    // The refresh of a selection: reloads the selected registered folders
    // and inspects the selected files again.
    void refreshSelection(const std::vector<DisplayRow>& rows);
    // A registered file is looked for where its bookmark leads now: its row
    // may still carry the place-holder path of a resolution that failed.
    void resolveRegisteredURLs(std::vector<DisplayRow>& rows) const;

    // --- status cells ------------------------------------------------------
    // Inspects the rows that have no state yet and are not being inspected
    // (the rows coming into view, folders and files alike).
    TaskHandle inspectUninspected(std::vector<DisplayRow> rows);
    // "再試行": forgets the row's state and inspects its file again, where a
    // registered file's bookmark leads now.
    TaskHandle retryInspection(const DisplayRow& row);
    bool isInspecting(const RowId& rowId) const;

    // --- mounts ------------------------------------------------------------
    // The mounts of the registered items (the window's process keeps them);
    // none: nothing can be mounted from the window. Outlives the model.
    // Whenever the keeper is done with a batch, rows that no mount served are
    // inspected again.
    void setMounts(RegisteredMounts* mounts);
    RegisteredMounts* mounts() const { return mounts_; }
    // Why the keeper could not serve the registered item a row belongs to,
    // if it tried and could not.
    std::optional<MountRefusal> mountRefusal(const DisplayRow& row) const;
    // The row's action for a file no mount serves: its registered item is
    // served again on a worker, then its rows are inspected again. A refusal
    // becomes the error message. The task finishes once the rows are asked
    // for again (or at once without mounts or an item).
    TaskHandle serveAgain(const DisplayRow& row);

    // --- registrations -----------------------------------------------------
    // Removes the registered items with these ids (ids of no item shown are
    // left alone) and saves. A failure is undone in full and becomes the
    // error message; the files themselves are never touched.
    void removeRegistrations(const std::vector<ItemId>& itemIDs);

    // --- bulk runs ---------------------------------------------------------
    // A run starts at once unless its files together pass the confirmation
    // threshold; then it waits in pendingLargeOp for the user's answer. A
    // started run is published as operationProgress.
    void performRowAction(ActiveOperation::Kind kind, const DisplayRow& row);
    void confirmOrStartOperation(ActiveOperation::Kind kind, std::vector<DisplayRow> candidates);
    void startOperation(ActiveOperation::Kind kind, std::vector<DisplayRow> candidates);

    // --- history -----------------------------------------------------------
    void pruneLogs();

    // --- derived rows ------------------------------------------------------
    const RowFilterSettings& filters() const { return filters_; }
    KindFilter kindFilter() const { return filters_.kindFilter; }
    CompressionStatusFilter statusFilter() const { return filters_.statusFilter; }
    SizeRangeFilter sizeFilter() const { return filters_.sizeFilter; }
    int minStars() const { return filters_.minStars; }
    const std::string& searchQuery() const { return filters_.searchQuery; }
    const std::vector<DisplayRowComparator>& sortOrder() const { return sortOrder_; }
    // The filters are kept in the settings.
    void setKindFilter(KindFilter value);
    void setStatusFilter(CompressionStatusFilter value);
    void setSizeFilter(SizeRangeFilter value);
    // 0 to 5; anything else is 0 (no star filter), stored or set.
    void setMinStars(int value);
    static int minStarsFromSetting(std::int64_t stored);
    void setSearchQuery(const std::string& value);
    void setSortOrder(std::vector<DisplayRowComparator> value);

    // The rows the table shows, as of the last refresh that was not cancelled.
    const std::vector<DisplayRow>& displayedRows() const { return displayedRows_; }
    // Whether a refresh has stored rows yet (until then the table has none to
    // show, which is not the same as none matching the filters).
    bool hasDerivedRows() const { return hasDerivedRows_; }
    const std::unordered_map<store::Uuid, FolderAggregate>& folderAggregates() const { return folderAggregates_; }
    const DerivedAggregates::ReductionStatistics& reductionStatistics() const { return reductionStatistics_; }
    // The snapshot a refresh starts from.
    DerivedAggregates::Input derivedInput() const;
    // Starts a refresh now, cancelling the one still running. Refreshes also
    // start by themselves whenever an input changes (once per turn of the
    // event loop).
    TaskHandle refreshDerivedRows();
    // The monotonic clock that times the refreshes for the log (a test sets
    // its own).
    void setMonotonicClock(std::function<std::chrono::nanoseconds()> clock) { monotonic_ = std::move(clock); }


signals:
    void itemsChanged();
    void folderChildrenChanged();
    void folderChildrenVersionChanged();
    void loadingFoldersChanged();
    void scanActivityChanged();
    void errorMessageChanged();
    void incompressiblePathsChanged();
    void pendingLargeOpChanged();
    void operationProgressChanged();
    void filtersChanged();
    void derivedRowsChanged();

private:
    struct DerivedTrigger {
        long long cacheVersion = 0;
        long long childrenVersion = 0;
        std::size_t itemCount = 0;
        RowFilterSettings filters;
        std::vector<DisplayRowComparator> sort;
        bool operator==(const DerivedTrigger&) const = default;
    };
    DerivedTrigger derivedTrigger() const;
    void announceFolderChildren();  // each write of the children
    TaskHandle own(TaskHandle task);  // kept until it finishes or the model goes
    void scheduleDerivedRefresh();

    FileStatusCache& cache_;
    store::ModelContext& modelContext_;
    std::unique_ptr<platform::Settings> settings_;

    std::vector<Item> items_;
    FolderChildren folderChildren_;
    FolderChildren lastListed_;  // kept across refreshes, for a folder whose mount stops answering
    long long folderChildrenVersion_ = 0;
    std::set<store::Uuid> loadingFolders_;
    std::shared_ptr<ScanActivity> scanActivity_;
    std::optional<std::string> errorMessage_;
    std::set<std::string> incompressiblePaths_;
    std::optional<PendingLargeOp> pendingLargeOp_;
    std::shared_ptr<OperationProgress> operationProgress_;

    RowFilterSettings filters_;
    std::vector<DisplayRowComparator> sortOrder_{{DisplayRowComparator::Key::displayName,
                                                  DisplayRowComparator::Order::forward}};

    std::vector<DisplayRow> displayedRows_;
    bool hasDerivedRows_ = false;
    std::function<std::chrono::nanoseconds()> monotonic_;
    std::unordered_map<store::Uuid, FolderAggregate> folderAggregates_;
    DerivedAggregates::ReductionStatistics reductionStatistics_;
    std::optional<TaskHandle> derivedRefresh_;
    std::optional<DerivedTrigger> lastDerivedTrigger_;
    bool derivedRefreshScheduled_ = false;

    const Item* registeredItemOf(const DisplayRow& row) const;
    void reinspectUnserved();
    void showUnservedFolder(const store::Uuid& folderID, const platform::MountService& service);

    RegisteredMounts* mounts_ = nullptr;
    FolderLoader* loader_ = nullptr;       // a child of the model
    StatusInspections* inspections_ = nullptr;  // a child of the model
    std::optional<std::string> loadedItemsSignature_;
    std::optional<TaskHandle> itemsLoad_;
    std::vector<TaskHandle> ownedTasks_;  // cancelled when the window goes
};

}  // namespace kelvane::operations
