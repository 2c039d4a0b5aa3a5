// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {
class FileStatusCache;
class MainWindowModel;
}  // namespace kelvane::operations

namespace kelvane::platform {
class LanguageModel;
class Settings;
}  // namespace kelvane::platform

namespace kelvane::ui {
class LogScreen;
class MainWindow;
class SettingsView;
class Shell;
}  // namespace kelvane::ui

namespace kelvane::app {

// The windowed application's windows: the main window with its menus, the
// sheets it presents (About, storage, search, wizard, asking the local AI
// about a file), the one history window ("履歴ログ") and the one settings
// window. Everything the windows open lives no longer than this object.
class WindowScenes {
public:
    // `container` and `cache` outlive the scenes; so does `shell`.
    WindowScenes(std::shared_ptr<store::ModelContainer> container, operations::FileStatusCache& cache,
                 ui::Shell& shell, std::shared_ptr<platform::LanguageModel> languageModel);
    ~WindowScenes();
    WindowScenes(const WindowScenes&) = delete;
    WindowScenes& operator=(const WindowScenes&) = delete;

    ui::MainWindow& mainWindow() const { return *mainWindow_; }
    operations::MainWindowModel& model() const { return *model_; }
    // The history and settings windows while they are open (else null).
    ui::LogScreen* logWindow() const;
    ui::SettingsView* settingsWindow() const;

    // Shows the one history window, making it on the first request.
    void openLogWindow();
    void openSettings();

    // Before the process ends: cancels a running bulk run and calls
    // `finished` once it has ended (the files in hand done or rolled back,
    // its batch saved); at once when none runs.
    void windDown(std::function<void()> finished);

private:
    void quit();
    void openWizard();
    void openSearch();
    void askAbout(const std::filesystem::path& file);

    std::shared_ptr<store::ModelContainer> container_;
    ui::Shell& shell_;
    std::shared_ptr<platform::LanguageModel> languageModel_;
    std::unique_ptr<platform::Settings> settings_;
    std::unique_ptr<operations::MainWindowModel> model_;
    QPointer<QWidget> logWindow_;
    QPointer<QWidget> settingsWindow_;
    bool quitting_ = false;
    // Last, so that it goes first: its hooks call back into the members above.
    std::unique_ptr<ui::MainWindow> mainWindow_;
};

// Shows the windows and runs until they are closed or the session ends the
// process; returns the exit status. `shown` runs once the main window is on
// screen (for programs that drive the windows).
int runWindowScenes(const std::shared_ptr<store::ModelContainer>& container, operations::FileStatusCache& cache,
                    const std::function<void(WindowScenes&)>& shown = {});

}  // namespace kelvane::app
