#pragma once

#include <memory>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {
class FileStatusCache;
}

namespace kelvane::app {

// The windowed application: the main window with its menus, the one history
// window ("履歴ログ") and the one settings window, and the sheets the main
// window presents (About, storage). Runs until the windows are closed or
// the session ends the process; returns the exit status.
int runWindowScenes(const std::shared_ptr<store::ModelContainer>& container, operations::FileStatusCache& cache);

}  // namespace kelvane::app
