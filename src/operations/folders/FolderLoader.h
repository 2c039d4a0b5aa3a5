// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "operations/threads/TaskHandle.h"
#include "platform/KelvanefsMount.h"
#include "store/Uuid.h"

#include <QObject>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kelvane::store {
class RegisteredItem;
}

namespace kelvane::operations {

class FileStatusCache;
class ScanActivity;

// Lists the files of registered folders and finds out the compression state
// of each: the rows are reported as soon as a folder is listed, the states
// fill the status cache batch by batch from parallel workers. Main thread;
// the search and the inspection run on the worker pool, which reports back
// through posted calls; the loader announces each step with its signals.
class FolderLoader final : public QObject {
    Q_OBJECT
public:
    using Item = std::shared_ptr<store::RegisteredItem>;

    // A load of several folders: its scan activity and the task whose
    // cancellation stops it; the task finishes once every folder is done.
    struct Run {
        std::shared_ptr<ScanActivity> activity;
        TaskHandle task;
    };

    // `cache` receives the inspected states and outlives the loader.
    explicit FolderLoader(FileStatusCache& cache, QObject* parent = nullptr);

    // The paths known not to shrink, shown as incompressible instead of
    // being inspected.
    void setIncompressiblePaths(std::set<std::string> paths);

    // Loads `folders` one after another with a scan activity.
    Run loadAll(std::vector<Item> folders);
    // Loads one folder without a scan activity (refresh of a selection).
    TaskHandle load(const Item& item);

    // min(max(active processors, 2), 8).
    static int inspectionWorkerCount(int activeProcessors);

signals:
    // A folder's load has begun / has ended (whatever its outcome).
    void folderLoadStarted(const store::Uuid& folderID);
    void folderLoadEnded(const store::Uuid& folderID);
    // The folder's files, listed; their states follow in the cache.
    void folderListed(const store::Uuid& folderID, const DisplayRow::Children& rows);
    // The folder could not be listed; `message` is the alert's text.
    void folderFailed(const store::Uuid& folderID, const std::string& message);
    // The folder could not be listed because the kelvanefs mount over it
    // does not answer (its daemon was killed, its socket is gone).
    void folderUnserved(const store::Uuid& folderID, const kelvane::platform::MountService& service);

private:
    struct Loop;
    using Done = std::function<void()>;
    static void step(const std::shared_ptr<Loop>& loop);
    void loadFolder(const Item& item, std::shared_ptr<ScanActivity> activity, TaskHandle task, Done done);
    void inspect(DisplayRow::Children rows, std::shared_ptr<ScanActivity> activity, TaskHandle task, Done done);

    FileStatusCache& cache_;
    std::shared_ptr<const std::set<std::string>> incompressiblePaths_;
};

}  // namespace kelvane::operations
