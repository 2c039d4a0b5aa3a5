// SPDX-License-Identifier: MIT
#pragma once

#include "app/RunMode.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

class QCoreApplication;

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {
class FileStatusCache;
}

namespace kelvane::app {

// The application once the command line has asked for more than a text:
// its store, its status cache, its run mode, and what runs in that mode.
class KelvaneApp {
public:
    // Opens the store (creating its folder) and, in the windowed mode, records
    // the launch; the mode and the store are handed on from here. When the store
    // cannot be opened, writes "Failed to create ModelContainer: " and the
    // error to standard error, in the windowed mode also shows it in a window
    // until the user closes it, and returns nothing; the file is left as it was.
    // Needs the Qt application object.
    static std::optional<KelvaneApp> start(RunMode mode, std::unique_ptr<operations::FileStatusCache> statusCache);

    // <application support>/store.sqlite, its folder created first.
    // Throws std::filesystem::filesystem_error when the folder cannot be made.
    static std::filesystem::path storeURL();

    // Runs the mode on the application's event loop; returns the exit status.
    int exec();

    RunMode runMode() const { return runMode_; }
    const std::shared_ptr<store::ModelContainer>& container() const { return container_; }
    operations::FileStatusCache& statusCache() const { return *statusCache_; }

    // The Qt application object for the mode: with widgets only in the
    // windowed mode.
    static std::unique_ptr<QCoreApplication> makeApplication(RunMode mode, int& argc, char** argv);

    // Whether a windowed start can show its window: an X or Wayland display,
    // or a Qt platform chosen explicitly (offscreen, for instance).
    static bool hasDisplay();
    static constexpr const char* noDisplayMessage =
        "Kelvane: ウィンドウを表示できません（ディスプレイがありません: DISPLAY / WAYLAND_DISPLAY が未設定です）。"
        "ウィンドウなしで使うには --auto-recompress か --help を指定してください。\n";

    // How long a windowed launch waits for the desktop to take the reminders
    // that fell due while no process of ours was running.
    static constexpr std::chrono::seconds dueReminderWait{5};

    KelvaneApp(KelvaneApp&&) noexcept;
    KelvaneApp& operator=(KelvaneApp&&) noexcept;
    ~KelvaneApp();

private:
    KelvaneApp(RunMode mode, std::shared_ptr<store::ModelContainer> container,
               std::unique_ptr<operations::FileStatusCache> statusCache);

    int runMainWindow();

    std::shared_ptr<store::ModelContainer> container_;
    std::unique_ptr<operations::FileStatusCache> statusCache_;
    RunMode runMode_;
};

}  // namespace kelvane::app
