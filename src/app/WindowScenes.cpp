#include "app/WindowScenes.h"

#include "app/AppContext.h"
#include "app/BundleInfo.h"
#include "app/LogExport.h"
#include "app/NotificationScheduler.h"
#include "app/QuitOnTermination.h"
#include "app/ReminderUpkeep.h"
#include "operations/MainWindowModel.h"
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"
#include "ui/common/DesktopShell.h"
#include "ui/common/MenuCommands.h"
#include "ui/main/MainWindow.h"
#include "ui/storage/StorageStatusDialog.h"
#include "ui/windows/AboutDiagnostics.h"
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
void showSingle(QPointer<Window>& window, Make make)
{
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
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
    environment.bundleIdentifier = "com.orbwright.kelvane";
    environment.exportLogs = [](double hours) { return exportLogs(hours); };
    environment.exportFileName = [](const QDateTime& date) { return QString::fromStdString(exportFileName(date)); };
    environment.installedTree = ui::installedTree();
    environment.webSite = QUrl(QString::fromLatin1(ui::webSiteUrl));
    environment.supportPage = QUrl(QString::fromLatin1(ui::supportPageUrl));
    return environment;
}

}  // namespace

int runWindowScenes(const std::shared_ptr<store::ModelContainer>& container, operations::FileStatusCache& cache)
{
    QuitOnTermination quitOnTermination;
    operations::MainWindowModel model(cache, container->mainContext());
    ui::DesktopShell shell;
    platform::Settings settings;
    QPointer<ui::LogScreen> logWindow;
    QPointer<ui::SettingsView> settingsWindow;
    ui::MainWindow* mainWindow = nullptr;

    ui::MainWindowHooks hooks;
    hooks.itemsLoaded = [container](int) {
        platform::Settings current;
        ReminderUpkeep::refresh(container->mainContext(), current, NotificationScheduler::shared());
    };
    hooks.openLogScreen = [&] {
        showSingle(logWindow, [&] {
            auto* window = new ui::LogScreen(container, container->mainContext(), shell);
            window->setWindowTitle(QStringLiteral("履歴ログ"));
            window->resize(960, 640);
            return window;
        });
    };
    hooks.openAbout = [&] {
        mainWindow->sheets().present(new ui::AboutView(container, shell, aboutEnvironment(), mainWindow));
    };
    hooks.openStorageStatus = [&] { mainWindow->sheets().present(new ui::StorageStatusDialog(mainWindow)); };
    const auto openSettings = [&] {
        showSingle(settingsWindow, [&] {
            return new ui::SettingsView(settings, platform::DesktopNotificationCenter::current(),
                                        [](bool enabled, std::int64_t count) {
                                            NotificationScheduler::shared().reschedule(enabled, count);
                                        },
                                        shell);
        });
    };

    ui::MainWindow window(model, *container, shell, QString::fromStdString(AppContext::versionLabel()),
                          std::move(hooks));
    mainWindow = &window;
    ui::populateMenuBar(window.menuBar(), window.commands(), shell, [] { QApplication::closeAllWindows(); },
                        openSettings);
    window.show();
    const int status = QApplication::exec();
    delete logWindow.data();
    delete settingsWindow.data();
    return status;
}

}  // namespace kelvane::app
