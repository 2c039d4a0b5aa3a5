// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"

#include "app/CommandLineTexts.h"
#include "operations/bulk/HeadlessAutoRecompressRunner.h"
#include "store/ModelContainer.h"

#include <QCoreApplication>
#include <QTimer>

namespace kelvane::app {

void AppDelegate::applicationDidFinishLaunching(RunMode mode, std::shared_ptr<store::ModelContainer> container)
{
    if (mode == RunMode::headlessAutoRecompress)
        startHeadlessAutoRecompress(std::move(container));
}

void AppDelegate::startHeadlessAutoRecompress(std::shared_ptr<store::ModelContainer> container)
{
    // The headless process runs on a QCoreApplication: there is no Dock entry
    // to hide and no window to close. Queued, so this returns at once and the
    // run happens on the event loop.
    QTimer::singleShot(0, QCoreApplication::instance(), [container = std::move(container)] {
        if (!container) {
            writeToStandardError("ERROR: ModelContainer is not initialized. headless mode aborted.\n");
            QCoreApplication::exit(1);
            return;
        }
        operations::HeadlessAutoRecompressRunner runner(container);
        QCoreApplication::exit(runner.run());
    });
}

}  // namespace kelvane::app
