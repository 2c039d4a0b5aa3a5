#pragma once

#include "app/RunMode.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::app {

// The application once the command line has asked for more than a text:
// its store, its run mode, and what runs in that mode.
class KelvaneApp {
public:
    // Opens the store (creating its folder), publishes it and the mode in
    // AppContext and, in the windowed mode, records the launch. When the store
    // cannot be opened, writes "Failed to create ModelContainer: " and the
    // error to standard error and returns nothing; the file is left as it was.
    static std::optional<KelvaneApp> start(RunMode mode);

    // <application support>/store.sqlite, its folder created first.
    // Throws std::filesystem::filesystem_error when the folder cannot be made.
    static std::filesystem::path storeURL();

    // Runs the mode on the application's event loop; returns the exit status.
    int exec();

    RunMode runMode() const { return runMode_; }
    const std::shared_ptr<store::ModelContainer>& container() const { return container_; }

private:
    KelvaneApp(RunMode mode, std::shared_ptr<store::ModelContainer> container);

    RunMode runMode_;
    std::shared_ptr<store::ModelContainer> container_;
};

}  // namespace kelvane::app
