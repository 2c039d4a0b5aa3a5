// SPDX-License-Identifier: MIT
#include "app/WindowScenes.h"

#include "app/AppContext.h"
#include "app/BundleInfo.h"
#include "app/DesktopIdentity.h"
#include "app/LogExport.h"
#include "app/NotificationScheduler.h"
#include "app/QuitOnTermination.h"
#include "app/ReminderUpkeep.h"
#include "operations/sheets/AskAIModel.h"
#include "operations/windows/MainWindowModel.h"
#include "operations/bulk/OperationProgress.h"
#include "operations/sheets/SearchSheetModel.h"
#include "operations/sheets/WizardSheetModel.h"
#include "platform/Logger.h"
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/LanguageModel.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"
#include "ui/common/DesktopShell.h"
#include "ui/common/MenuCommands.h"
#include "ui/common/WindowGeometry.h"
#include "ui/common/WindowKeys.h"
#include "ui/main/MainWindow.h"
#include "ui/sheets/AskAISheet.h"
#include "ui/sheets/SearchSheet.h"
#include "ui/sheets/WizardSheet.h"
#include "ui/storage/StorageStatusDialog.h"
#include "operations/windows/AboutDiagnostics.h"
#include "ui/windows/AboutView.h"
#include "ui/windows/LogScreen.h"
#include "ui/windows/SettingsView.h"

#include <QApplication>
#include <QMenuBar>
#include <QPointer>

namespace kelvane::app {

namespace {

// Shows the one instance of a window, making it on the first request.
template <class Window, class Make>
void showSingle(QPointer<Window>& window, Make make, const QWidget* parent)
{
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
        // A window that keeps its own place has been placed already.
        if (!window->template findChild<ui::WindowGeometry*>())
            ui::WindowGeometry::centreOn(window, parent);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

ui::AboutEnvironment aboutEnvironment()
{
    const BundleInfo bundle = BundleInfo::main();
    ui::AboutEnvironment environment;
    environment.shortVersion = bundle.shortVersion;
    environment.buildNumber = bundle.buildNumber;
    environment.bundleIdentifier = desktopId;
    environment.exportLogs = [](double hours) { return exportLogs(hours); };
    environment.exportFileName = [](const QDateTime& date) { return QString::fromStdString(exportFileName(date)); };
    environment.programFiles = operations::programFiles();
    environment.webSite = QUrl(QString::fromLatin1(ui::webSiteUrl));
    environment.supportPage = QUrl(QString::fromLatin1(ui::supportPageUrl));
    return environment;
}

}  // namespace

WindowScenes::WindowScenes(std::shared_ptr<store::ModelContainer> container, operations::FileStatusCache& cache,
                           ui::Shell& shell, std::shared_ptr<platform::LanguageModel> languageModel)
    : container_(std::move(container)),
      shell_(shell),
      languageModel_(std::move(languageModel)),
      settings_(std::make_unique<platform::Settings>()),
      model_(std::make_unique<operations::MainWindowModel>(cache, container_->mainContext()))
{
    ui::MainWindowHooks hooks;
    hooks.itemsLoaded = [container = container_](int) {
        platform::Settings current;
        ReminderUpkeep::refresh(container->mainContext(), current, NotificationScheduler::shared());
    };
    hooks.rescheduleReminder = [](bool enabled, std::int64_t registeredCount) {
        NotificationScheduler::shared().reschedule(enabled, registeredCount);
    };
    hooks.openWizard = [this] { openWizard(); };
    hooks.openSearch = [this] { openSearch(); };
    hooks.openStorageStatus = [this] {
        if (!mainWindow_->sheets().isPresenting())
            mainWindow_->sheets().present(new ui::StorageStatusDialog(mainWindow_.get()));
    };
    hooks.openLogScreen = [this] { openLogWindow(); };
    hooks.openAbout = [this] {
        if (!mainWindow_->sheets().isPresenting())
            mainWindow_->sheets().present(
                new ui::AboutView(container_, shell_, aboutEnvironment(), mainWindow_.get()));
    };
    hooks.askAbout = [this](const std::filesystem::path& file) { askAbout(file); };

    mainWindow_ = std::make_unique<ui::MainWindow>(*model_, *container_, shell_,
                                                   QString::fromStdString(AppContext::versionLabel()),
                                                   std::move(hooks));
    // "終了" and Ctrl+Q in any window or sheet end here.
    QObject::connect(&ui::QuitRequest::shared(), &ui::QuitRequest::requested, mainWindow_.get(), [this] { quit(); });
    ui::populateMenuBar(mainWindow_->menuBar(), mainWindow_->commands(), shell_,
                        [] { ui::QuitRequest::shared().request(); }, [this] { openSettings(); });
}

ui::LogScreen* WindowScenes::logWindow() const { return qobject_cast<ui::LogScreen*>(logWindow_.data()); }

ui::SettingsView* WindowScenes::settingsWindow() const
{
    return qobject_cast<ui::SettingsView*>(settingsWindow_.data());
}

WindowScenes::~WindowScenes()
{
    // The main window's sheets and the two windows may hold the store and the
    // desktop: they go before the members they use.
    mainWindow_.reset();
    delete logWindow_.data();
    delete settingsWindow_.data();
}

void WindowScenes::openLogWindow()
{
    showSingle(logWindow_, [this]() -> QWidget* {
        auto* window = new ui::LogScreen(container_, container_->mainContext(), shell_);
        window->setWindowTitle(QStringLiteral("履歴ログ"));
        return window;
    }, mainWindow_.get());
}

void WindowScenes::openSettings()
{
    showSingle(settingsWindow_, [this]() -> QWidget* {
        return new ui::SettingsView(*settings_, platform::DesktopNotificationCenter::current(),
                                    [](bool enabled, std::int64_t count) {
                                        NotificationScheduler::shared().reschedule(enabled, count);
                                    },
                                    shell_);
    }, mainWindow_.get());
}

// A request while a sheet is on screen is dropped: the main window shows one
// sheet at a time.
void WindowScenes::openWizard()
{
    if (mainWindow_->sheets().isPresenting())
        return;
    mainWindow_->sheets().present(new ui::sheets::WizardSheet(
        std::make_unique<operations::WizardSheetModel>(container_->mainContext()), mainWindow_.get()));
}

void WindowScenes::openSearch()
{
    if (mainWindow_->sheets().isPresenting())
        return;
    mainWindow_->sheets().present(new ui::sheets::SearchSheet(
        std::make_unique<operations::SearchSheetModel>(container_->mainContext(), languageModel_), shell_,
        mainWindow_.get()));
}

void WindowScenes::askAbout(const std::filesystem::path& file)
{
    if (mainWindow_->sheets().isPresenting())
        return;
    mainWindow_->sheets().present(new ui::sheets::AskAISheet(
        std::make_unique<operations::AskAIModel>(file, languageModel_), mainWindow_.get()));
}

void WindowScenes::windDown(std::function<void()> finished)
{
    const std::shared_ptr<operations::OperationProgress> progress = model_->operationProgress();
    if (!progress || progress->isFinished()) {
        finished();
        return;
    }
    platform::Logger::ui().notice("termination requested during a bulk run: cancelling it");
    QObject::connect(progress.get(), &operations::OperationProgress::completedAtChanged, progress.get(),
                     [finished = std::move(finished)] { finished(); }, Qt::SingleShotConnection);
    progress->cancel();
}

// As a termination signal does: a running bulk run is cancelled and wound
// down first, then its result and every window close.
void WindowScenes::quit()
{
    if (quitting_)
        return;
    quitting_ = true;
    windDown([this, window = QPointer<ui::MainWindow>(mainWindow_.get())] {
        if (!window)
            return;
        quitting_ = false;
        model_->setOperationProgress(nullptr);
        QApplication::closeAllWindows();
    });
}

int runWindowScenes(const std::shared_ptr<store::ModelContainer>& container, operations::FileStatusCache& cache,
                    const std::function<void(WindowScenes&)>& shown)
{
    // First, so that a signal that arrives while the windows are being made
    // is handled too (once the event loop runs).
    WindowScenes* windows = nullptr;
    QuitOnTermination quitOnTermination([&windows](std::function<void()> finished) {
        if (windows)
            windows->windDown(std::move(finished));
        else
            finished();
    });
    ui::DesktopShell shell;
    WindowScenes scenes(container, cache, shell, platform::LanguageModel::fromEnvironment());
    windows = &scenes;
    scenes.mainWindow().show();
    if (shown)
        shown(scenes);
    return QApplication::exec();
}

}  // namespace kelvane::app
