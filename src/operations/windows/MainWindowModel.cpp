// SPDX-License-Identifier: MIT
#include "operations/windows/MainWindowModel.h"

#include "operations/folders/BookmarkUrlCache.h"
#include "operations/rows/RegisteredItemKind.h"
#include "operations/bulk/BulkOperationRunner.h"
#include "operations/bulk/BulkPersistence.h"
#include "operations/rows/CellInspection.h"
#include "operations/threads/ChangeSignal.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/folders/FolderLoader.h"
#include "operations/mounts/RegisteredMounts.h"
#include "operations/bulk/HistoryRetention.h"
#include "operations/threads/WorkerJobs.h"
#include "operations/windows/StatusInspections.h"
#include "display/VisibleName.h"
#include "platform/Logger.h"
#include "platform/qt/Settings.h"
#include "store/ModelContext.h"
#include "store/RegisteredItem.h"

#include <QPointer>
#include <QString>

#include <algorithm>
#include <cstdio>

namespace kelvane::operations {

namespace keys = platform::settings_keys;

MainWindowModel::MainWindowModel(FileStatusCache& cache, store::ModelContext& modelContext, QObject* parent)
    : QObject(parent), cache_(cache), modelContext_(modelContext), settings_(std::make_unique<platform::Settings>())
{
    filters_.kindFilter = kindFilterFromRaw(settings_->value(keys::kindFilter).toStdString()).value_or(KindFilter::all);
    filters_.statusFilter = compressionStatusFilterFromRaw(settings_->value(keys::statusFilter).toStdString())
                        .value_or(CompressionStatusFilter::all);
    filters_.sizeFilter = sizeRangeFilterFromRaw(settings_->value(keys::sizeFilter).toStdString()).value_or(SizeRangeFilter::all);
    filters_.minStars = minStarsFromSetting(settings_->value(keys::minStarsFilter));
    monotonic_ = [] { return std::chrono::steady_clock::now().time_since_epoch(); };

    loader_ = new FolderLoader(cache_, this);
    inspections_ = new StatusInspections(cache_, inspectForCell, this);
    connect(loader_, &FolderLoader::folderLoadStarted, this, &MainWindowModel::insertLoadingFolder);
    connect(loader_, &FolderLoader::folderLoadEnded, this, &MainWindowModel::removeLoadingFolder);
    connect(loader_, &FolderLoader::folderListed, this,
            qOverload<const store::Uuid&, DisplayRow::Children>(&MainWindowModel::setFolderChildren));
    connect(loader_, &FolderLoader::folderUnserved, this, &MainWindowModel::showUnservedFolder);
    connect(loader_, &FolderLoader::folderFailed, this, [this](const store::Uuid& folderID, const std::string& message) {
        setErrorMessage(message);
        setFolderChildren(folderID, DisplayRow::Children());
    });
    connect(this, &MainWindowModel::incompressiblePathsChanged, this,
            [this] { loader_->setIncompressiblePaths(incompressiblePaths_); });

    connect(&cache_, &FileStatusCache::versionChanged, this, &MainWindowModel::scheduleDerivedRefresh);
    connect(this, &MainWindowModel::folderChildrenVersionChanged, this, &MainWindowModel::scheduleDerivedRefresh);
    connect(this, &MainWindowModel::itemsChanged, this, &MainWindowModel::scheduleDerivedRefresh);
    connect(this, &MainWindowModel::filtersChanged, this, &MainWindowModel::scheduleDerivedRefresh);
}

MainWindowModel::~MainWindowModel()
{
    for (const TaskHandle& task : ownedTasks_)
        task.cancel();
    if (derivedRefresh_)
        derivedRefresh_->cancel();
    if (scanActivity_)
        scanActivity_->cancel();
}

// --- state -------------------------------------------------------------------

void MainWindowModel::setItems(std::vector<Item> items)
{
    assignAndNotify(this, items_, std::move(items), &MainWindowModel::itemsChanged);
}

void MainWindowModel::setFolderChildren(const store::Uuid& folderID, std::vector<DisplayRow> rows)
{
    setFolderChildren(folderID, std::make_shared<const std::vector<DisplayRow>>(std::move(rows)));
}

void MainWindowModel::setFolderChildren(const store::Uuid& folderID, DisplayRow::Children rows)
{
    folderChildren_[folderID] = rows ? std::move(rows) : std::make_shared<const std::vector<DisplayRow>>();
    lastListed_[folderID] = folderChildren_[folderID];
    announceFolderChildren();
}

void MainWindowModel::showUnservedFolder(const store::Uuid& folderID, const platform::MountService& service)
{
    // Nothing can be listed under a mount that does not answer: the files
    // listed last stay, each saying why it cannot be read.
    const auto last = lastListed_.find(folderID);
    DisplayRow::Children rows = last == lastListed_.end() ? nullptr : last->second;
    std::vector<std::pair<RowId, FileStatusEntry>> entries;
    if (rows)
        for (const DisplayRow& row : *rows)
            entries.emplace_back(row.id, FileStatusEntry::unserved{service.state, service.mountPoint, std::nullopt});
    cache_.setEntries(std::move(entries));
    setFolderChildren(folderID, std::move(rows));
}

void MainWindowModel::removeFolderChildren(const std::vector<store::Uuid>& folderIDs)
{
    for (const store::Uuid& id : folderIDs)
        folderChildren_.erase(id);
    announceFolderChildren();
}

void MainWindowModel::removeAllFolderChildren()
{
    folderChildren_.clear();
    announceFolderChildren();
}

void MainWindowModel::announceFolderChildren()
{
    emit folderChildrenChanged();
    ++folderChildrenVersion_;
    emit folderChildrenVersionChanged();
}

void MainWindowModel::insertLoadingFolder(const store::Uuid& id)
{
    if (loadingFolders_.insert(id).second)
        emit loadingFoldersChanged();
}

void MainWindowModel::removeLoadingFolder(const store::Uuid& id)
{
    if (loadingFolders_.erase(id) != 0)
        emit loadingFoldersChanged();
}

void MainWindowModel::setScanActivity(std::shared_ptr<ScanActivity> activity)
{
    assignAndNotify(this, scanActivity_, std::move(activity), &MainWindowModel::scanActivityChanged);
}

void MainWindowModel::setErrorMessage(std::optional<std::string> message)
{
    assignAndNotify(this, errorMessage_, std::move(message), &MainWindowModel::errorMessageChanged);
}

void MainWindowModel::setIncompressiblePaths(std::set<std::string> paths)
{
    assignAndNotify(this, incompressiblePaths_, std::move(paths), &MainWindowModel::incompressiblePathsChanged);
}

void MainWindowModel::reloadIncompressiblePaths()
{
    setIncompressiblePaths(BulkPersistence::loadIncompressiblePaths(modelContext_));
}

void MainWindowModel::setPendingLargeOp(std::optional<PendingLargeOp> op)
{
    assignAndNotify(this, pendingLargeOp_, std::move(op), &MainWindowModel::pendingLargeOpChanged);
}

void MainWindowModel::confirmPendingLargeOp()
{
    if (!pendingLargeOp_)
        return;
    PendingLargeOp op = std::move(*pendingLargeOp_);
    setPendingLargeOp(std::nullopt);
    startOperation(op.kind, std::move(op.candidates));
}

void MainWindowModel::dismissPendingLargeOp() { setPendingLargeOp(std::nullopt); }

void MainWindowModel::setOperationProgress(std::shared_ptr<OperationProgress> progress)
{
    assignAndNotify(this, operationProgress_, std::move(progress), &MainWindowModel::operationProgressChanged);
}

// --- folder loading ----------------------------------------------------------

TaskHandle MainWindowModel::own(TaskHandle task)
{
    std::erase_if(ownedTasks_, [](const TaskHandle& t) { return t.isFinished(); });
    ownedTasks_.push_back(task);
    return task;
}

TaskHandle MainWindowModel::loadAllFolderChildren()
{
    platform::Logger::ui().info("loadAllFolderChildren start, items=%ld", static_cast<long>(items_.size()));
    std::vector<Item> folders;
    for (const Item& item : items_)
        if (itemKindOf(*item) == ItemKind::folder && !folderChildren_.contains(item->id()))
            folders.push_back(item);
    const FolderLoader::Run run = loader_->loadAll(std::move(folders));
    if (run.activity && !run.task.isFinished()) {
        setScanActivity(run.activity);
        run.task.onFinished([self = QPointer<MainWindowModel>(this), activity = run.activity] {
            if (self && self->scanActivity_ == activity)
                self->setScanActivity(nullptr);
        });
    }
    return own(run.task);
}

TaskHandle MainWindowModel::loadChildren(const Item& item) { return own(loader_->load(item)); }

std::optional<TaskHandle> MainWindowModel::reloadIfItemsChanged()
{
    std::string signature;
    for (const Item& item : items_) {
        if (!signature.empty())
            signature += '|';
        signature += item->id().toString() + "-" + item->kind() + "-" + (item->includeSubfolders() ? "true" : "false");
    }
    if (loadedItemsSignature_ == signature)
        return std::nullopt;
    loadedItemsSignature_ = std::move(signature);
    if (itemsLoad_)
        itemsLoad_->cancel();
    reloadIncompressiblePaths();
    itemsLoad_ = loadAllFolderChildren();
    return itemsLoad_;
}

TaskHandle MainWindowModel::refreshAll()
{
    // What is still being inspected was read before the refresh: dropped.
    inspections_->forgetInFlight();
    if (scanActivity_)
        scanActivity_->cancel();
    cache_.removeAll();
    BookmarkUrlCache::shared().removeAll();
    removeAllFolderChildren();
    reloadIncompressiblePaths();
    TaskHandle load = loadAllFolderChildren();
    // Registered files are not part of any folder load.
    std::vector<DisplayRow> files;
    for (const TopItemRef& ref : derivedInput().topItems) {
        if (ref.kind != ItemKind::file)
            continue;
        DisplayRow row;
        row.id = ref.id;
        row.url = ref.url;
        files.push_back(std::move(row));
    }
    inspections_->inspect(std::move(files));
    return load;
}

void MainWindowModel::refreshSelection(const std::vector<DisplayRow>& rows)
{
    std::vector<store::Uuid> folders;
    std::vector<DisplayRow> files;
    for (const DisplayRow& row : rows) {
        if (row.kind == DisplayRow::DisplayKind::folder && row.registeredItemID)
            folders.push_back(*row.registeredItemID);
        else if (row.kind == DisplayRow::DisplayKind::file)
            files.push_back(row);
    }
    if (!folders.empty()) {
        removeFolderChildren(folders);
        for (const Item& item : items_)
            if (std::find(folders.begin(), folders.end(), item->id()) != folders.end())
                loadChildren(item);
    }
    if (files.empty())
        return;
    resolveRegisteredURLs(files);
    for (const DisplayRow& row : files)
        cache_.setEntry(FileStatusEntry::notInspected{}, row.id);
    // The same inspection as the status cell's: what the file is now, not
    // what the store once recorded about it.
    inspections_->inspect(std::move(files), true);
}

void MainWindowModel::resolveRegisteredURLs(std::vector<DisplayRow>& rows) const
{
    for (DisplayRow& row : rows)
        if (row.registeredItemID)
            for (const Item& item : items_)
                if (item->id() == *row.registeredItemID)
                    if (const auto url = BookmarkUrlCache::shared().resolve(*item))
                        row.url = *url;
}

// --- status cells ------------------------------------------------------------

TaskHandle MainWindowModel::inspectUninspected(std::vector<DisplayRow> rows)
{
    return inspections_->inspectUninspected(std::move(rows));
}

TaskHandle MainWindowModel::retryInspection(const DisplayRow& row)
{
    cache_.setEntry(FileStatusEntry::notInspected{}, row.id);
    std::vector<DisplayRow> rows{row};
    resolveRegisteredURLs(rows);
    return inspections_->inspect(std::move(rows), true);
}

bool MainWindowModel::isInspecting(const RowId& rowId) const { return inspections_->isInFlight(rowId); }

// --- mounts ------------------------------------------------------------------

void MainWindowModel::setMounts(RegisteredMounts* mounts)
{
    if (mounts_)
        disconnect(mounts_, nullptr, this, nullptr);
    mounts_ = mounts;
    if (mounts_)
        connect(mounts_, &RegisteredMounts::changed, this, &MainWindowModel::reinspectUnserved);
}

void MainWindowModel::reinspectUnserved()
{
    const auto unserved = [this](const RowId& id) { return cache_.entry(id).as<FileStatusEntry::unserved>() != nullptr; };
    std::vector<DisplayRow> again;
    for (const Item& item : items_) {
        DisplayRow row;
        row.registeredItemID = item->id();
        if (itemKindOf(*item) == ItemKind::folder) {
            const auto children = folderChildren_.find(item->id());
            if (children == folderChildren_.end() || !children->second ||
                std::none_of(children->second->begin(), children->second->end(),
                             [&](const DisplayRow& child) { return unserved(child.id); }))
                continue;
            row.kind = ItemKind::folder;
        } else {
            row.id = RowId::registered(item->id());
            if (!unserved(row.id))
                continue;
            row.kind = ItemKind::file;
        }
        again.push_back(std::move(row));
    }
    if (!again.empty())
        refreshSelection(again);
}

const MainWindowModel::Item* MainWindowModel::registeredItemOf(const DisplayRow& row) const
{
    // A child row's id names its folder; a registered row carries its item.
    const std::optional<ItemId> id = row.id.isChild() ? std::optional(row.id.itemID) : row.registeredItemID;
    if (!id)
        return nullptr;
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const Item& item) { return item->id() == *id; });
    return it == items_.end() ? nullptr : &*it;
}

std::optional<MountRefusal> MainWindowModel::mountRefusal(const DisplayRow& row) const
{
    const Item* item = registeredItemOf(row);
    if (!mounts_ || !item)
        return std::nullopt;
    const std::optional<RegisteredPath> path = registeredPathOf(**item);
    const std::optional<MountOutcome> outcome = path ? mounts_->outcome(path->path) : std::nullopt;
    if (const auto* refusal = outcome ? std::get_if<MountRefusal>(&*outcome) : nullptr)
        return *refusal;
    return std::nullopt;
}

TaskHandle MainWindowModel::serveAgain(const DisplayRow& row)
{
    TaskHandle task;
    const Item* item = registeredItemOf(row);
    const std::optional<RegisteredPath> path = item ? registeredPathOf(**item) : std::nullopt;
    if (!mounts_ || !path) {
        task.finish();
        return task;
    }
    // What to look at again once the keeper is done: the whole folder, or
    // the one registered file.
    DisplayRow again = row;
    if (path->kind == ItemKind::folder) {
        again = DisplayRow();
        again.kind = ItemKind::folder;
        again.registeredItemID = (*item)->id();
    }
    mounts_->serveAgain(*path, [self = QPointer<MainWindowModel>(this), again, task](const MountOutcome& outcome) {
        if (self) {
            if (const auto* refusal = std::get_if<MountRefusal>(&outcome))
                self->setErrorMessage("kelvanefs のマウントをやり直せませんでした。\n理由: " + refusal->text());
            self->refreshSelection({again});
        }
        task.finish();
    });
    return own(task);
}

// --- registrations -----------------------------------------------------------

void MainWindowModel::removeRegistrations(const std::vector<ItemId>& itemIDs)
{
    try {
        for (const ItemId& id : itemIDs) {
            const auto it =
                std::find_if(items_.begin(), items_.end(), [&](const Item& item) { return item->id() == id; });
            if (it != items_.end())
                modelContext_.remove(*it);
        }
        modelContext_.save();
    } catch (const std::exception& error) {
        // A failed save has undone itself; a failure before it leaves
        // removals pending that must not be saved later with something else.
        modelContext_.rollback();
        setErrorMessage(
            std::string("登録の削除を保存できませんでした。\n対処: アプリを再起動してから再度お試しください。\n詳細: ") +
            display::visibleName(std::string_view(error.what())).toStdString());
    }
}

// --- bulk runs ---------------------------------------------------------------

void MainWindowModel::performRowAction(ActiveOperation::Kind kind, const DisplayRow& row)
{
    DisplayRow::Children children;
    if (row.registeredItemID)
        if (const auto it = folderChildren_.find(*row.registeredItemID); it != folderChildren_.end())
            children = it->second;
    confirmOrStartOperation(kind, BulkOperationRunner::rowActionCandidates(kind, row, children, cache_));
}

void MainWindowModel::confirmOrStartOperation(ActiveOperation::Kind kind, std::vector<DisplayRow> candidates)
{
    std::erase_if(candidates, [](const DisplayRow& row) { return row.kind != DisplayRow::DisplayKind::file; });
    if (candidates.empty())
        return;
    const std::int64_t total = BulkOperationRunner::totalSize(candidates);
    if (total > BulkOperationRunner::confirmationThresholdBytes) {
        setPendingLargeOp(PendingLargeOp{store::Uuid::random(), kind, std::move(candidates), total});
        return;
    }
    startOperation(kind, std::move(candidates));
}

void MainWindowModel::startOperation(ActiveOperation::Kind kind, std::vector<DisplayRow> candidates)
{
    const BulkOperationRunner::Run run =
        BulkOperationRunner::startOperation(kind, std::move(candidates), &modelContext_, &cache_);
    setOperationProgress(run.progress);
    // A small run that ends cleanly closes its sheet by itself.
    OperationProgress* progress = run.progress.get();
    connect(progress, &OperationProgress::completedAtChanged, this, [this, progress] {
        if (operationProgress_.get() == progress && BulkOperationRunner::closesByItself(*progress))
            setOperationProgress(nullptr);
    });
}

// --- history -----------------------------------------------------------------

void MainWindowModel::pruneLogs() { HistoryRetention::pruneLogs(modelContext_, *settings_); }

// --- derived rows ------------------------------------------------------------

void MainWindowModel::setKindFilter(KindFilter value)
{
    if (assignAndNotify(this, filters_.kindFilter, value, &MainWindowModel::filtersChanged))
        settings_->setValue(keys::kindFilter, QString::fromUtf8(rawValue(value).data()));
}

void MainWindowModel::setStatusFilter(CompressionStatusFilter value)
{
    if (assignAndNotify(this, filters_.statusFilter, value, &MainWindowModel::filtersChanged))
        settings_->setValue(keys::statusFilter, QString::fromUtf8(rawValue(value).data()));
}

void MainWindowModel::setSizeFilter(SizeRangeFilter value)
{
    if (assignAndNotify(this, filters_.sizeFilter, value, &MainWindowModel::filtersChanged))
        settings_->setValue(keys::sizeFilter, QString::fromUtf8(rawValue(value).data()));
}

int MainWindowModel::minStarsFromSetting(std::int64_t stored)
{
    return stored >= 0 && stored <= 5 ? static_cast<int>(stored) : 0;
}

void MainWindowModel::setMinStars(int value)
{
    value = minStarsFromSetting(value);
    if (assignAndNotify(this, filters_.minStars, value, &MainWindowModel::filtersChanged))
        settings_->setValue(keys::minStarsFilter, value);
}

void MainWindowModel::setSearchQuery(const std::string& value)
{
    assignAndNotify(this, filters_.searchQuery, value, &MainWindowModel::filtersChanged);
}

void MainWindowModel::setSortOrder(std::vector<DisplayRowComparator> value)
{
    assignAndNotify(this, sortOrder_, std::move(value), &MainWindowModel::filtersChanged);
}

DerivedAggregates::Input MainWindowModel::derivedInput() const
{
    DerivedAggregates::Input input;
    input.topItems.reserve(items_.size());
    for (const Item& item : items_)
        input.topItems.push_back(TopItemRef::make(*item, BookmarkUrlCache::shared()));
    input.children = folderChildren_;
    input.entries = cache_.snapshot();
    static_cast<RowFilterSettings&>(input) = filters_;
    input.sortOrder = sortOrder_;
    return input;
}

MainWindowModel::DerivedTrigger MainWindowModel::derivedTrigger() const
{
    return {cache_.version(), folderChildrenVersion_, items_.size(), filters_, sortOrder_};
}

void MainWindowModel::scheduleDerivedRefresh()
{
    // Several changes within one turn of the event loop cost one refresh.
    if (derivedRefreshScheduled_)
        return;
    derivedRefreshScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            derivedRefreshScheduled_ = false;
            if (lastDerivedTrigger_ && *lastDerivedTrigger_ == derivedTrigger())
                return;
            refreshDerivedRows();
        },
        Qt::QueuedConnection);
}

TaskHandle MainWindowModel::refreshDerivedRows()
{
    if (derivedRefresh_)
        derivedRefresh_->cancel();
    TaskHandle task;
    derivedRefresh_ = task;
    lastDerivedTrigger_ = derivedTrigger();
    const std::chrono::nanoseconds started = monotonic_();
    auto input = std::make_shared<const DerivedAggregates::Input>(derivedInput());
    const std::stop_token stop = task.stopToken();
    runOnWorkers<std::shared_ptr<DerivedAggregates::Result>>(
        {[input, stop] { return std::make_shared<DerivedAggregates::Result>(DerivedAggregates::compute(*input, stop)); }},
        [self = QPointer<MainWindowModel>(this), task, started](std::vector<std::shared_ptr<DerivedAggregates::Result>> results) {
            if (!self) {
                task.finish();
                return;
            }
            // Slow refreshes are logged, cancelled ones too.
            const double seconds = std::chrono::duration<double>(self->monotonic_() - started).count();
            if (seconds > 0.05) {
                char text[32];
                std::snprintf(text, sizeof text, "%.3f", seconds);
                // Public: a figure, and masked it would say nothing.
                platform::Logger::ui().debug("derived aggregates refreshed in %{public}ss", std::string(text));
            }
            // A refresh cancelled meanwhile (a newer one started) stores nothing.
            // A refresh that came to the same rows announces nothing, except
            // the first: from then on the table knows what there is to show.
            DerivedAggregates::Result& result = *results.front();
            if (!task.isCancelled() &&
                (!self->hasDerivedRows_ || result.rows != self->displayedRows_ ||
                 result.aggregates != self->folderAggregates_ || result.reduction != self->reductionStatistics_)) {
                self->hasDerivedRows_ = true;
                self->displayedRows_ = std::move(result.rows);
                self->folderAggregates_ = std::move(result.aggregates);
                self->reductionStatistics_ = result.reduction;
                emit self->derivedRowsChanged();
            }
            task.finish();
        });
    return task;
}

}  // namespace kelvane::operations
