#pragma once

#include "operations/DisplayRow.h"
#include "operations/TaskHandle.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kelvane::store {
class RegisteredItem;
}

namespace kelvane::operations {

class MainWindowModel;
class ScanActivity;

// Lists the files of registered folders and finds out the compression state
// of each: the rows appear as soon as a folder is listed, the states fill in
// batch by batch from parallel workers. Main thread; the search and the
// inspection run on workers.
struct FolderLoader {
    using Done = std::function<void()>;

    static TaskHandle loadAllFolderChildren(MainWindowModel& model);

    // Runs within `task` (its cancellation stops the listing and the
    // inspection); `done` is called on the main thread at the end.
    static void loadChildren(MainWindowModel& model, std::shared_ptr<store::RegisteredItem> item,
                             std::shared_ptr<ScanActivity> activity, TaskHandle task, Done done);

    static void inspectChildren(MainWindowModel& model, DisplayRow::Children rows,
                                std::set<std::string> incompressiblePaths, std::shared_ptr<ScanActivity> activity,
                                TaskHandle task, Done done);

    // min(max(active processors, 2), 8).
    static int inspectionWorkerCount(int activeProcessors);
};

}  // namespace kelvane::operations
