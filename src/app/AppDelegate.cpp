#include "app/AppDelegate.h"

#include "app/AppContext.h"
#include "app/CommandLineTexts.h"
#include "platform/Logger.h"
#include "store/ModelContainer.h"

#include <QCoreApplication>
#include <QTimer>

namespace kelvane::app {

namespace {

// Where the headless re-compression run of the operations layer starts; it
// returns the process exit status. Until that run exists the mode cannot do
// its work, and says so rather than report a success it did not have.
int runHeadlessAutoRecompress(const std::shared_ptr<store::ModelContainer>& /*container*/)
{
    platform::Logger::cli().error("auto-recompress is not available in this build");
    writeToStandardError("ERROR: このビルドでは --auto-recompress をまだ実行できません。\n");
    return 1;
}

}  // namespace

void AppDelegate::applicationDidFinishLaunching()
{
    if (RunMode::current() == RunMode::headlessAutoRecompress)
        startHeadlessAutoRecompress();
}

void AppDelegate::startHeadlessAutoRecompress()
{
    // Queued, so this returns at once and the run happens on the event loop.
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        const std::shared_ptr<store::ModelContainer> container = AppContext::sharedContainer;
        if (!container) {
            writeToStandardError("ERROR: ModelContainer is not initialized. headless mode aborted.\n");
            QCoreApplication::exit(1);
            return;
        }
        QCoreApplication::exit(runHeadlessAutoRecompress(container));
    });
}

}  // namespace kelvane::app
