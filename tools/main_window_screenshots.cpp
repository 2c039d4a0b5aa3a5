// SPDX-License-Identifier: MIT
// Draws the main window in its typical states on the X display it is given
// and saves each as a PNG, for people to look at (tools/screenshots.sh runs
// it under xvfb-run in a throw-away home folder). Not a test: it asserts
// nothing, it only shows.

#include "discovery/RegistrationCoordinator.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/windows/MainWindowModel.h"
#include "platform/AppSupport.h"
#include "store/ModelContainer.h"
#include "ui/common/DesktopShell.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/MenuCommands.h"
#include "ui/common/RowTreeView.h"
#include "ui/main/FilterBar.h"
#include "ui/main/MainWindow.h"

#include "ScreenshotPalette.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using namespace kelvane;

namespace {

void settle(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 30'000)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void shoot(const fs::path& folder, const char* name, int settleMs = 400)
{
    settle(settleMs);
    const fs::path file = folder / name;
    const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file.string()));
    std::printf("%s %s\n", saved ? "saved" : "FAILED", file.c_str());
}

void writeFile(const fs::path& path, std::size_t size, char fill = 'k')
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: main_window_screenshots <files folder> <png folder>\n");
        return 2;
    }
    const fs::path files = argv[1];
    const fs::path out = argv[2];
    fs::create_directories(out);
    QApplication application(argc, argv);
    kelvane::tools::applyScreenshotPalette();

    std::error_code error;
    auto container = store::makeModelContainer(platform::ensureApplicationSupportDirectory(error) / "store.sqlite");
    operations::FileStatusCache cache;
    operations::MainWindowModel model(cache, container->mainContext());
    ui::DesktopShell shell;
    ui::MainWindow window(model, *container, shell, QStringLiteral("v0.1.0 (build 1)"));
    ui::populateMenuBar(window.menuBar(), window.commands(), shell, [] {});
    window.move(0, 0);
    window.show();
    shoot(out, "01-empty.png");

    // Registered files and folders, some with long Japanese names.
    const fs::path project = files / "プロジェクト資料";
    writeFile(project / "議事録_2026年度第3四半期_営業戦略会議_最終版.txt", 48'000);
    writeFile(project / "build.log", 1'200'000);
    writeFile(project / "src" / "main.cpp", 26'000);
    writeFile(project / "src" / "util.h", 3'000);
    writeFile(project / "写真.jpg", 800'000, 'j');
    const fs::path logs = files / "ログ";
    for (int i = 0; i < 6; ++i)
        writeFile(logs / ("server-" + std::to_string(i) + ".log"), 150'000 + 40'000 * i);
    writeFile(files / "README.md", 9'000);
    writeFile(files / "とても長い名前のファイルで表の幅に収まらないことを確かめるためのテキスト.txt", 64'000);
    const discovery::RegistrationCoordinator coordinator;
    for (const fs::path& file : {files / "README.md",
                                 files / "とても長い名前のファイルで表の幅に収まらないことを確かめるためのテキスト.txt"})
        coordinator.registerItem(file, discovery::ItemKind::file, false, container->mainContext());
    for (const fs::path& folder : {project, logs})
        coordinator.registerItem(folder, discovery::ItemKind::folder, true, container->mainContext());

    ui::DisplayRowTreeModel& rows = *window.rowModel();
    waitUntil([&] { return rows.rowCount() == 4 && !model.scanActivity(); });
    for (int r = 0; r < rows.rowCount(); ++r)
        window.table()->expand(rows.index(r, 0));
    waitUntil([&] {
        for (int r = 0; r < rows.rowCount(); ++r)
            if (rows.index(r, static_cast<int>(ui::MainColumn::status)).data(ui::DisplayRowTreeModel::SpinnerRole).toBool())
                return false;
        return true;
    });
    shoot(out, "02-registered-expanded.png");

    // A filter and a search.
    model.setStatusFilter(operations::CompressionStatusFilter::uncompressed);
    model.setSizeFilter(operations::SizeRangeFilter::small);
    waitUntil([&] { return model.statusFilter() == operations::CompressionStatusFilter::uncompressed; });
    shoot(out, "03-filter-on.png");
    window.filterBar()->clearAllFilters();
    settle(300);

    // The scan bar, caught while a refresh lists the folders again.
    for (int i = 0; i < 30000; ++i)
        writeFile(logs / "many" / ("part-" + std::to_string(i) + ".txt"), 10);
    window.refreshAll();
    if (waitUntil([&] { return model.scanActivity() != nullptr; }, 5'000))
        shoot(out, "04-scan-bar.png", 150);
    waitUntil([&] { return !model.scanActivity(); });

    // A file gone from disk, and its status popover.
    fs::remove(files / "README.md");
    window.refreshAll();
    std::optional<operations::RowId> missingId;
    waitUntil([&] {
        for (int r = 0; r < rows.rowCount(); ++r) {
            const QModelIndex status = rows.index(r, static_cast<int>(ui::MainColumn::status));
            if (status.data().toString() == QStringLiteral("⚠ 見つからない")) {
                missingId = rows.row(status)->id;
                return true;
            }
        }
        return false;
    });
    settle(300);
    if (missingId)
        window.showStatusDetail(*missingId);
    shoot(out, "05-status-popover.png");
    if (window.popover())
        window.popover()->close();

    // The sheets of adding items.
    writeFile(files / "Dropbox" / "共有フォルダ" / "memo.txt", 6'000);
    window.handleSelectedURLs({files / "Dropbox" / "共有フォルダ"});
    shoot(out, "06-cloud-warning.png");
    window.sheets().current()->accept();
    settle(200);
    shoot(out, "07-folder-sheet.png");
    window.sheets().dismiss();
    window.handleSelectedURLs({files / "存在しないファイル.txt"});
    shoot(out, "08-error-alert.png");
    return 0;
}
