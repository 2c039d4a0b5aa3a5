// SPDX-License-Identifier: MIT
// The windowed application as the executable runs it (the same windows and
// the same handling of termination signals), brought by itself into one
// state so that a test can end it there with a signal:
//   window_driver idle     the main window is up
//   window_driver running  a bulk compression of every registered file is running
//   window_driver result   such a run has ended and its result sheet is up
// It prints the state's name on a line of its own once it is there.
// "running" holds: one worker commits files while the others wait at the
// start of theirs, and then it waits too, until the run is cancelled; so the
// run is seen with a file done and cannot end before the signal ends it,
// however fast or loaded the machine and however its commits are grouped.

#include "app/KelvaneApp.h"
#include "app/WindowScenes.h"
#include "engine/StepObserver.h"
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

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

using namespace kelvane;

namespace {

void announce(const char* state)
{
    std::printf("%s\n", state);
    std::fflush(stdout);
}

// Holds a running run (see above). The first worker to lock a file goes on
// until it has renamed one into place; every other lock waits, and so does
// its next one, until the run is cancelled.
struct RunGate {
    std::mutex mutex;
    std::condition_variable opened;
    bool cancelled = false;
    std::thread::id first;
    bool firstRenamed = false;
    std::optional<std::stop_callback<std::function<void()>>> onCancel;

    void open()
    {
        {
            std::lock_guard lock(mutex);
            cancelled = true;
        }
        opened.notify_all();
    }
};
RunGate gate;

void holdWorkers(std::string_view step)
{
    std::unique_lock lock(gate.mutex);
    const std::thread::id self = std::this_thread::get_id();
    if (step == "rename" && self == gate.first) {
        gate.firstRenamed = true;
    } else if (step == "lock") {
        if (gate.first == std::thread::id()) {
            gate.first = self;
            return;
        }
        if (self == gate.first && !gate.firstRenamed)
            return;
        gate.opened.wait(lock, [] { return gate.cancelled; });
    }
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
            // Files are inspected as their rows show; "compress" takes those
            // inspected so far. A running run needs two: one worker to commit
            // a file while another waits.
            runs.bar()->selectAllButton()->click();
            const long long needed = state == "running" ? 2 : 1;
            if (runs.bar()->values().compressableCount < needed || !runs.bar()->compressButton()->isEnabled() ||
                !runs.bar()->compressButton()->isVisible())
                return;
            runs.bar()->compressButton()->click();
            started = true;
            return;
        }
        ui::OperationProgressSheet* sheet = runs.progressSheet();
        if (!sheet || !sheet->isVisible())
            return;
        const auto& progress = sheet->progress();
        if (state == "running" && !gate.onCancel && progress->task())
            gate.onCancel.emplace(progress->task()->stopToken(), [] { gate.open(); });
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
    if (state == "running")
        engine::setStepObserver(holdWorkers);
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane"));
    const auto container = store::makeModelContainer(app::KelvaneApp::storeURL());
    operations::FileStatusCache cache;
    return app::runWindowScenes(container, cache, [&state](app::WindowScenes& scenes) { drive(scenes, state); });
}
