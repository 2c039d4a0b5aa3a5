// SPDX-License-Identifier: MIT
#include "app/CommandLineTexts.h"
#include "app/KelvaneApp.h"
#include "app/RunMode.h"
#include "KelvaneVersion.h"
#include "operations/rows/FileStatusCache.h"
#include "platform/ProcessStart.h"

#include <QCoreApplication>

#include <memory>

using namespace kelvane;
using namespace kelvane::app;

int main(int argc, char* argv[])
{
    // The one status cache of the process comes first; it is a plain object
    // and needs neither the application object nor a display.
    auto statusCache = std::make_unique<operations::FileStatusCache>();

    // Decided before any Qt application object exists: help and version need no display.
    const RunMode mode = RunMode::parse(argc, argv);
    if (mode == RunMode::help)
        return writeToStandardOutput(CommandLineHelp::helpText(platform::executablePath())) ? 0 : 1;
    if (mode == RunMode::version)
        return writeToStandardOutput(CommandLineVersion::versionText()) ? 0 : 1;

    // Only the windowed mode needs widgets, and with them a display; the
    // headless run works without one.
    if (mode.isGui() && !KelvaneApp::hasDisplay()) {
        writeToStandardError(KelvaneApp::noDisplayMessage);
        return 1;
    }
    const std::unique_ptr<QCoreApplication> application = KelvaneApp::makeApplication(mode, argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

    std::optional<KelvaneApp> app = KelvaneApp::start(mode, std::move(statusCache));
    if (!app)
        return 1;
    return app->exec();
}
