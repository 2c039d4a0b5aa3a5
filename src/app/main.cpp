// SPDX-License-Identifier: MIT
#include "app/CommandLineTexts.h"
#include "app/KelvaneApp.h"
#include "app/RunMode.h"
#include "KelvaneVersion.h"
#include "operations/rows/FileStatusCache.h"
#include "platform/ProcessStart.h"

#include <QCoreApplication>

#include <memory>
#include <string>

using namespace kelvane;
using namespace kelvane::app;

int main(int argc, char* argv[])
{
    // The one status cache of the process comes first; it is a plain object
    // and needs neither the application object nor a display.
    auto statusCache = std::make_unique<operations::FileStatusCache>();

    // Decided before any Qt application object exists: help and version need no display.
    const RunMode mode = RunMode::parse(argc, argv);
    // A mistyped option in a cron line would otherwise start the window unseen.
    // Reads argv as it stands: Qt's application object takes its own options out.
    const auto nameUnrecognised = [&argc, argv] {
        for (const std::string& argument : RunMode::unrecognised(argumentList(argc, argv)))
            writeToStandardError(unrecognisedArgumentText(argument));
    };
    if (mode == RunMode::help || mode == RunMode::version) {
        nameUnrecognised();
        const std::string text = mode == RunMode::help ? CommandLineHelp::helpText(platform::executablePath())
                                                       : CommandLineVersion::versionText();
        return writeToStandardOutput(text) ? 0 : 1;
    }

    // Only the windowed mode needs widgets, and with them a display; the
    // headless run works without one.
    if (mode.isGui() && !KelvaneApp::hasDisplay()) {
        nameUnrecognised();
        writeToStandardError(KelvaneApp::noDisplayMessage);
        return 1;
    }
    // A bulk run holds each file's replacement open until its group commits.
    platform::raiseDescriptorLimit();
    const std::unique_ptr<QCoreApplication> application = KelvaneApp::makeApplication(mode, argc, argv);
    nameUnrecognised();
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

    std::optional<KelvaneApp> app = KelvaneApp::start(mode, std::move(statusCache));
    if (!app)
        return 1;
    return app->exec();
}
