// SPDX-License-Identifier: MIT
// The windowed application as the executable runs it (the same windows and
// the same handling of termination signals), brought by itself into one
// state so that a test can end it there with a signal:
//   window_driver idle     the main window is up
//   window_driver running  a bulk compression of every registered file is running
//   window_driver result   such a run has ended and its result sheet is up
// It prints the state's name on a line of its own once it is there.

#include "app/KelvaneApp.h"
#include "app/WindowScenes.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/windows/MainWindowModel.h"
#include "operations/bulk/OperationProgress.h"
#include "store/ModelContainer.h"
#include "ui/main/BottomActionBar.h"
#include "ui/main/BulkRunControls.h"
#include "ui/main/MainWindow.h"
#include "ui/sheets/OperationProgressSheet.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

using namespace kelvane;

namespace {

void announce(const char* state)
{
    std::printf("%s\n", state);
    std::fflush(stdout);
}

// Looks at the window every few milliseconds and takes the next step when it can.
void drive(app::WindowScenes& scenes, const std::string& state)
{
    if (state == "idle") {
        announce("idle");
        return;
    }
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [&scenes, state, timer, started = false]() mutable {
        ui::MainWindow& window = scenes.mainWindow();
        ui::BulkRunControls& runs = window.bulkRuns();
        if (!started) {
            // Every file inspected: then "select all" and "compress" are offered.
            runs.bar()->selectAllButton()->click();
            if (!runs.bar()->compressButton()->isEnabled() || !runs.bar()->compressButton()->isVisible())
                return;
            runs.bar()->compressButton()->click();
            started = true;
            return;
        }
        ui::OperationProgressSheet* sheet = runs.progressSheet();
        if (!sheet || !sheet->isVisible())
            return;
        const auto& progress = sheet->progress();
        if (state == "running" && !progress->isFinished() && progress->succeededCount() >= 1) {
            announce("running");
            timer->stop();
        } else if (state == "result" && progress->isFinished()) {
            announce("result");
            timer->stop();
        }
    });
    timer->start();
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 2;
    const std::string state = argv[1];
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane"));
    const auto container = store::makeModelContainer(app::KelvaneApp::storeURL());
    operations::FileStatusCache cache;
    return app::runWindowScenes(container, cache, [&state](app::WindowScenes& scenes) { drive(scenes, state); });
}
