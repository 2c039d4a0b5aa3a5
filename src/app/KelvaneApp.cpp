// SPDX-License-Identifier: MIT
#include "app/KelvaneApp.h"

#include "app/AppDelegate.h"
#include "app/CommandLineTexts.h"
#include "app/DesktopIdentity.h"
#include "app/LaunchRecord.h"
#include "app/NotificationScheduler.h"
#include "app/ReminderUpkeep.h"
#include "app/StoreOpenFailure.h"
#include "app/WindowScenes.h"
#include "engine/Eligibility.h"
#include "operations/mounts/MountKeeper.h"
#include "operations/mounts/RegisteredMounts.h"
#include "operations/rows/RegisteredItemKind.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/windows/MainWindowModel.h"
#include "operations/bulk/PublicFailureText.h"
#include "platform/AppSupport.h"
#include "platform/Logger.h"
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"
#include "ui/common/QtTranslations.h"

#include <QApplication>
#include <QLocale>
#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <exception>
#include <string>
#include <system_error>

namespace kelvane::app {

KelvaneApp::KelvaneApp(RunMode mode, std::shared_ptr<store::ModelContainer> container,
                       std::unique_ptr<operations::FileStatusCache> statusCache)
    : container_(std::move(container)), statusCache_(std::move(statusCache)), runMode_(mode)
{
}

KelvaneApp::KelvaneApp(KelvaneApp&&) noexcept = default;
KelvaneApp& KelvaneApp::operator=(KelvaneApp&&) noexcept = default;
KelvaneApp::~KelvaneApp() = default;

std::filesystem::path KelvaneApp::storeURL()
{
    std::error_code error;
    const std::filesystem::path folder = platform::ensureApplicationSupportDirectory(error);
    if (error)
        throw std::filesystem::filesystem_error("cannot create the application-support folder",
                                                platform::applicationSupportDirectory(), error);
    return folder / "store.sqlite";
}

std::optional<KelvaneApp> KelvaneApp::start(RunMode mode, std::unique_ptr<operations::FileStatusCache> statusCache)
{
    std::shared_ptr<store::ModelContainer> container;
    try {
        // The window saves every registration; a store it cannot write (read
        // only, or on a full disk) would lose them one by one. The headless
        // run only reads.
        container = store::makeModelContainer(storeURL(), mode.isGui());
    } catch (const std::exception& error) {
        std::optional<StoreOpenFailure> failure;
        if (mode.isGui())
            failure.emplace();
        platform::Logger::data().fault("store open failed: %{public}s",
                                       operations::publicFailureText(error.what(),
                                                                     {platform::applicationSupportDirectory()}));
        writeToStandardError(std::string("Failed to create ModelContainer: ") + error.what() + "\n");
        if (failure)
            failure->show(platform::applicationSupportDirectory() / "store.sqlite", error);
        return std::nullopt;
    }
    // A file about to be compressed where no mount serves it (its daemon was
    // killed while this process ran, say) gets its folder mounted first.
    engine::Eligibility::setServeFolder([keeper = std::make_shared<const operations::MountKeeper>()](
                                            const std::filesystem::path& folder) {
        keeper->ensureServed(folder, operations::ItemKind::folder);
    });
    if (mode.isGui()) {
        platform::Settings settings;
        if (!recordLaunch(settings))
            platform::Logger::data().error("record launch failed: %{private}s", settings.file());
    }
    return KelvaneApp(mode, std::move(container), std::move(statusCache));
}

int KelvaneApp::exec()
{
    if (!runMode_.isGui()) {
        QTimer::singleShot(0, QCoreApplication::instance(), [mode = runMode_, container = container_] {
            AppDelegate::applicationDidFinishLaunching(mode, container);
        });
        return QCoreApplication::exec();
    }
    // Reminders are shown only while a process of ours checks: first what fell
    // due while none ran, then whatever falls due while this one runs.
    platform::DesktopNotificationCenter& notifications = platform::DesktopNotificationCenter::current();
    ReminderUpkeep::deliverDue(notifications, dueReminderWait);
    notifications.startDeliveryTimer();
    return runMainWindow();
}

std::unique_ptr<QCoreApplication> KelvaneApp::makeApplication(RunMode mode, int& argc, char** argv)
{
    if (mode.isGui()) {
        auto app = std::make_unique<QApplication>(argc, argv);
        applyDesktopIdentity();
        // The texts are Japanese: Qt's own dialogs (dates, a file's type) follow.
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
        if (!ui::installQtTranslations(*app))
            platform::Logger::ui().info("Qt's Japanese translations are not installed; its dialogs stay in English");
        return app;
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

bool KelvaneApp::hasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

int KelvaneApp::runMainWindow()
{
    // Every registered item gets its kelvanefs mount (back after a reboot
    // where no user unit brings it), and each new one as it is registered;
    // one that cannot be mounted is said at once.
    operations::RegisteredMounts mounts(*container_);
    return runWindowScenes(container_, *statusCache_, [&mounts](WindowScenes& scenes) {
        scenes.model().setMounts(&mounts);
        QObject::connect(&mounts, &operations::RegisteredMounts::newItemRefused, &scenes.model(),
                         [&model = scenes.model()](const std::filesystem::path&, const operations::MountRefusal& refusal) {
                             model.setErrorMessage(refusal.registrationNotice());
                         });
    });
}

}  // namespace kelvane::app
