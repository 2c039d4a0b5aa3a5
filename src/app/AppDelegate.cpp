#include "app/AppDelegate.h"

#include "app/AppContext.h"
#include "app/CommandLineTexts.h"
#include "operations/HeadlessAutoRecompressRunner.h"
#include "store/ModelContainer.h"

#include <QCoreApplication>
#include <QTimer>

namespace kelvane::app {

void AppDelegate::applicationDidFinishLaunching()
{
    if (RunMode::current() == RunMode::headlessAutoRecompress)
        startHeadlessAutoRecompress();
}

void AppDelegate::startHeadlessAutoRecompress()
{
    // The headless process runs on a QCoreApplication: there is no Dock entry
    // to hide and no window to close. Queued, so this returns at once and the
    // run happens on the event loop.
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        const std::shared_ptr<store::ModelContainer> container = AppContext::sharedContainer;
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
