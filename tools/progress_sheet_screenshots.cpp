// SPDX-License-Identifier: MIT
// Draws the bulk-run controls on the X display it is given and saves PNGs for
// people to look at: the main window with a selected folder (operation
// buttons and bottom bar) before, during and after a real run, and the
// progress sheet running, finished, and cancelled with failures and a file
// over 2 GB. It works in a throw-away home folder of its own:
//   xvfb-run -a -s "-screen 0 1280x800x24" build/tools/progress_sheet_screenshots <output folder>
// Not a test: it shows, it asserts nothing.

#include "discovery/RegistrationCoordinator.h"
#include "engine/Eligibility.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/windows/MainWindowModel.h"
#include "operations/bulk/OperationProgress.h"
#include "store/ModelContainer.h"
#include "ui/common/DesktopShell.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"
#include "ui/main/ActionCell.h"
#include "ui/main/BottomActionBar.h"
#include "ui/main/BulkRunControls.h"
#include "ui/main/MainWindow.h"
#include "ui/sheets/OperationProgressSheet.h"

#include "ScreenshotPalette.h"
#include "ScreenshotSteps.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace kelvane;
using operations::ActiveOperation;
using operations::OperationProgress;

namespace {

void shootScreen(const fs::path& file)
{
    tools::settle(400);
    tools::savePicture(tools::wholeScreen(), file);
}

// A sheet over a plain window, for a progress set by hand.
void shootSheet(const std::shared_ptr<OperationProgress>& progress, const fs::path& file)
{
    QWidget window;
    window.resize(1000, 700);
    window.show();
    auto* sheet = new ui::OperationProgressSheet(progress, true, &window);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
    tools::settle(1300);  // at least one tick of the clock
    tools::savePicture(sheet->grab(), file);
    sheet->dismiss();
    delete sheet;
}

void writeText(const fs::path& path, std::size_t size)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    const std::string line = "kelvane keeps every file whole while it saves space on the disk\n";
    for (std::size_t n = 0; n < size; n += line.size())
        out << line;
}

// Points HOME and the XDG folders into `home`, before anything reads them.
void useAsHome(const fs::path& home)
{
    for (const auto& [name, sub] : {std::pair{"HOME", ""}, {"XDG_CONFIG_HOME", ".config"},
                                    {"XDG_DATA_HOME", ".local/share"}, {"XDG_STATE_HOME", ".local/state"},
                                    {"XDG_RUNTIME_DIR", ".runtime"}}) {
        fs::create_directories(home / sub);
        ::setenv(name, (home / sub).c_str(), 1);
    }
    fs::permissions(home / ".runtime", fs::perms::owner_all);
}

// The main window with a folder selected (the buttons of the operation column
// and the bottom bar), then a real run of the folder: its sheet right after
// the start, its summary, and the window after it.
void shootBulkRun(const fs::path& home, const fs::path& out)
{
    const fs::path docs = home / "書類";
    for (int i = 0; i < 12; ++i)
        writeText(docs / ("メモ " + std::to_string(i) + ".txt"), 40000 + 9000 * i);
    auto container = store::ModelContainer::open({home / "store.sqlite"});
    discovery::RegistrationCoordinator{}.registerItem(docs, discovery::ItemKind::folder, true, container->mainContext());
    operations::FileStatusCache cache;
    operations::MainWindowModel model(cache, container->mainContext());
    ui::DesktopShell shell;
    ui::MainWindowHooks hooks;
    hooks.openLogScreen = [] {};
    ui::MainWindow window(model, *container, shell, QStringLiteral("v0.1.0 (build 1)"), hooks);
    window.resize(1240, 720);
    window.show();
    auto& runs = window.bulkRuns();
    const auto firstButtons = [&] { return ui::ActionCellDelegate::buttonsAt(window.rowModel()->index(0, 9)); };
    if (!tools::waitUntil([&] { return window.rowModel()->rowCount() == 1 && !firstButtons().empty(); }))
        std::fprintf(stderr, "the folder did not load\n");
    window.table()->expand(window.rowModel()->index(0, 0));
    window.table()->selectIds({window.rowModel()->row(window.rowModel()->index(0, 0))->id});
    tools::waitUntil([&] { return runs.bar()->compressButton()->isEnabled(); });
    shootScreen(out / "bulk-window-selected.png");

    runs.bar()->compressButton()->click();
    if (runs.progressSheet())
        tools::savePicture(runs.progressSheet()->grab(), out / "bulk-run-started.png");
    tools::waitUntil([&] { return model.operationProgress() && model.operationProgress()->isFinished(); });
    shootScreen(out / "bulk-run-finished-window.png");
    if (runs.progressSheet())
        tools::savePicture(runs.progressSheet()->grab(), out / "bulk-run-finished.png");
    if (model.operationProgress())
        model.setOperationProgress(nullptr);
    tools::waitUntil([&] {
        return !firstButtons().empty() && firstButtons().front().kind == ui::RowAction::decompress;
    });
    shootScreen(out / "bulk-window-after.png");
}

// Running, with every figure there.
std::shared_ptr<OperationProgress> runningProgress()
{
    auto progress = std::make_shared<OperationProgress>(ActiveOperation::Kind::compress, 120, 5400000000LL, 8);
    progress->setTask(operations::TaskHandle());
    progress->setCurrent(37);
    progress->setSucceededCount(35);
    progress->setCurrentFileName("とても長い名前のプロジェクト資料/2026年度 第3四半期 報告書 最終版 (確定).numbers");
    progress->setBytesProcessedSoFar(1630000000);
    progress->setBytesSavedSoFar(412000000);
    progress->appendFailure({store::Uuid::random(), "x", "y"});
    progress->setCurrentMemoryBytes(182000000);
    progress->setPeakMemoryBytes(240000000);
    progress->setSystemAvailableMemoryBytes(5200000000ULL);
    progress->setSizeSkippedCount(1);
    progress->setSizeSkippedBytes(3100000000LL);
    return progress;
}

// Finished cleanly with a large saving.
std::shared_ptr<OperationProgress> finishedProgress()
{
    auto progress = std::make_shared<OperationProgress>(ActiveOperation::Kind::compress, 42, 2600000000LL, 8);
    progress->setCurrent(42);
    progress->setSucceededCount(40);
    progress->setSkippedCount(2);
    progress->setSkippedBytes(100000000);
    progress->setBytesProcessedSoFar(2600000000LL);
    progress->setBytesSavedSoFar(1180000000LL);
    progress->setCurrentMemoryBytes(120000000);
    progress->setPeakMemoryBytes(260000000);
    progress->setSystemAvailableMemoryBytes(6100000000ULL);
    progress->setCompletedAt(OperationProgress::Clock::now());
    return progress;
}

// Cancelled, with failures and files over 2 GB.
std::shared_ptr<OperationProgress> cancelledProgress()
{
    auto progress = std::make_shared<OperationProgress>(ActiveOperation::Kind::decompress, 200, 900000000, 8);
    progress->setCurrent(57);
    progress->setSucceededCount(52);
    progress->appendFailure({store::Uuid::random(), "a", "b"});
    progress->appendFailure({store::Uuid::random(), "c", "d"});
    progress->setSkippedCount(3);
    progress->setSkippedBytes(3000000);
    progress->setBytesProcessedSoFar(260000000);
    progress->setBytesSavedSoFar(64000000);
    progress->setSizeSkippedCount(2);
    progress->setWasCancelled(true);
    progress->setCompletedAt(OperationProgress::Clock::now());
    progress->setCurrent(200);
    return progress;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: progress_sheet_screenshots <output folder>\n");
        return 2;
    }
    // The scenes' runs work in a temporary folder that no kelvanefs mount serves.
    kelvane::engine::Eligibility::enforceMountRule(false);
    const fs::path out = fs::absolute(argv[1]);
    fs::create_directories(out);
    QTemporaryDir scratch;
    const fs::path home = scratch.path().toStdString();
    useAsHome(home);
    QApplication app(argc, argv);
    kelvane::tools::applyScreenshotPalette();

    shootBulkRun(home, out);
    shootSheet(runningProgress(), out / "progress-running.png");
    shootSheet(finishedProgress(), out / "progress-finished.png");
    shootSheet(cancelledProgress(), out / "progress-cancelled.png");
    return 0;
}
