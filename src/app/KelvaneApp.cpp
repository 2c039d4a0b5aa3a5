#include "app/KelvaneApp.h"

#include "app/AppContext.h"
#include "app/AppDelegate.h"
#include "app/CommandLineTexts.h"
#include "app/LaunchRecord.h"
#include "platform/AppSupport.h"
#include "platform/Logger.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"

#include <QCoreApplication>
#include <QTimer>

#include <exception>
#include <string>
#include <system_error>

namespace kelvane::app {

namespace {

// Where the main window will be shown. Until it exists the windowed mode
// explains itself and prints the usage.
int runMainWindow()
{
    writeToStandardError("Kelvane: メインウィンドウはまだありません。使い方を表示します。\n");
    return writeToStandardOutput(CommandLineHelp::helpText) ? 0 : 1;
}

}  // namespace

KelvaneApp::KelvaneApp(RunMode mode, std::shared_ptr<store::ModelContainer> container)
    : runMode_(mode), container_(std::move(container))
{
}

std::filesystem::path KelvaneApp::storeURL()
{
    std::error_code error;
    const std::filesystem::path folder = platform::ensureApplicationSupportDirectory(error);
    if (error)
        throw std::filesystem::filesystem_error("cannot create the application-support folder",
                                                platform::applicationSupportDirectory(), error);
    return folder / "store.sqlite";
}

std::optional<KelvaneApp> KelvaneApp::start(RunMode mode)
{
    // The one status cache of the process is made here once the operations layer provides it.
    std::shared_ptr<store::ModelContainer> container;
    try {
        container = store::makeModelContainer(storeURL());
    } catch (const std::exception& error) {
        platform::Logger::data().fault("store open failed: %{public}s", error.what());
        writeToStandardError(std::string("Failed to create ModelContainer: ") + error.what() + "\n");
        return std::nullopt;
    }
    AppContext::sharedContainer = container;
    AppContext::runMode = mode;
    if (mode.isGui()) {
        platform::Settings settings;
        if (!recordLaunch(settings))
            platform::Logger::data().error("record launch failed: %{private}s", settings.file());
    }
    return KelvaneApp(mode, std::move(container));
}

int KelvaneApp::exec()
{
    if (runMode_.isGui())
        return runMainWindow();
    QTimer::singleShot(0, QCoreApplication::instance(), &AppDelegate::applicationDidFinishLaunching);
    return QCoreApplication::exec();
}

}  // namespace kelvane::app
