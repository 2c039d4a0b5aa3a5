// SPDX-License-Identifier: MIT
// Draws the main window in its typical states on the X display it is given
// and saves each as a PNG, for people to look at (tools/screenshots.sh runs
// it under xvfb-run in a throw-away home folder). Not a test: it asserts
// nothing, it only shows.

#include "discovery/RegistrationCoordinator.h"
#include "engine/Eligibility.h"
#include "engine/FileCompressor.h"
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
#include "ScreenshotSteps.h"

#include <QApplication>
#include <QMenuBar>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace fs = std::filesystem;
using namespace kelvane;

namespace {

// The main window over a store of its own, and where its pictures go.
struct Scene {
    fs::path files;
    fs::path out;
    operations::MainWindowModel& model;
    ui::MainWindow& window;

    void shoot(const char* name, int settleMs = 400) const
    {
        tools::settle(settleMs);
        tools::savePicture(tools::wholeScreen(), out / name);
    }
    ui::DisplayRowTreeModel& rows() const { return *window.rowModel(); }
};

// Registered files and folders, some with long Japanese names; the folders
// expanded once every status is known.
void shootRegistered(const Scene& scene, store::ModelContext& context)
{
    const fs::path project = scene.files / "プロジェクト資料";
    tools::writeFile(project / "議事録_2026年度第3四半期_営業戦略会議_最終版.txt", 48'000);
    tools::writeFile(project / "build.log", 1'200'000);
    tools::writeFile(project / "src" / "main.cpp", 26'000);
    tools::writeFile(project / "src" / "util.h", 3'000);
    tools::writeFile(project / "写真.jpg", 800'000, 'j');
    const fs::path logs = scene.files / "ログ";
    for (int i = 0; i < 6; ++i)
        tools::writeFile(logs / ("server-" + std::to_string(i) + ".log"), 150'000 + 40'000 * i);
    const fs::path readme = scene.files / "README.md";
    const fs::path longName = scene.files / "とても長い名前のファイルで表の幅に収まらないことを確かめるためのテキスト.txt";
    tools::writeFile(readme, 9'000);
    tools::writeFile(longName, 64'000);
    const discovery::RegistrationCoordinator coordinator;
    for (const fs::path& file : {readme, longName})
        coordinator.registerItem(file, discovery::ItemKind::file, false, context);
    for (const fs::path& folder : {project, logs})
        coordinator.registerItem(folder, discovery::ItemKind::folder, true, context);

    ui::DisplayRowTreeModel& rows = scene.rows();
    tools::waitUntil([&] { return rows.rowCount() == 4 && !scene.model.scanActivity(); });
    for (int r = 0; r < rows.rowCount(); ++r)
        scene.window.table()->expand(rows.index(r, 0));
    tools::waitUntil([&] {
        for (int r = 0; r < rows.rowCount(); ++r)
            if (rows.index(r, static_cast<int>(ui::MainColumn::status)).data(ui::DisplayRowTreeModel::SpinnerRole).toBool())
                return false;
        return true;
    });
    scene.shoot("02-registered-expanded.png");
}

void shootFilter(const Scene& scene)
{
    scene.model.setStatusFilter(operations::CompressionStatusFilter::uncompressed);
    scene.model.setSizeFilter(operations::SizeRangeFilter::small);
    tools::waitUntil([&] { return scene.model.statusFilter() == operations::CompressionStatusFilter::uncompressed; });
    scene.shoot("03-filter-on.png");
    scene.window.filterBar()->clearAllFilters();
    tools::settle(300);
}

// The scan bar, caught while a refresh lists the folders again.
void shootScanBar(const Scene& scene)
{
    for (int i = 0; i < 30000; ++i)
        tools::writeFile(scene.files / "ログ" / "many" / ("part-" + std::to_string(i) + ".txt"), 10);
    scene.window.refreshAll();
    if (tools::waitUntil([&] { return scene.model.scanActivity() != nullptr; }, 5'000))
        scene.shoot("04-scan-bar.png", 150);
    tools::waitUntil([&] { return !scene.model.scanActivity(); });
}

// Once a row (a registered item or a file of a folder) shows `status`, its
// status popover.
void shootStatusPopover(const Scene& scene, const QString& status, const char* file)
{
    ui::DisplayRowTreeModel& rows = scene.rows();
    const int column = static_cast<int>(ui::MainColumn::status);
    std::optional<operations::RowId> id;
    tools::waitUntil([&] {
        for (int r = 0; r < rows.rowCount(); ++r) {
            const QModelIndex top = rows.index(r, 0);
            std::vector<QModelIndex> cells{top.siblingAtColumn(column)};
            for (int c = 0; c < rows.rowCount(top); ++c)
                cells.push_back(rows.index(c, column, top));
            for (const QModelIndex& cell : cells)
                if (cell.data().toString() == status) {
                    id = rows.row(cell)->id;
                    return true;
                }
        }
        return false;
    });
    tools::settle(300);
    if (id)
        scene.window.showStatusDetail(*id);
    scene.shoot(file);
    if (scene.window.popover())
        scene.window.popover()->close();
}

// A file gone from disk, and its status popover.
void shootMissingFile(const Scene& scene)
{
    fs::remove(scene.files / "README.md");
    scene.window.refreshAll();
    shootStatusPopover(scene, QStringLiteral("⚠ 見つからない"), "05-status-popover.png");
}

// A file compressed where no kelvanefs mount serves it: its row, its
// folder's count, its "マウント" button and its status popover.
void shootUnservedFile(const Scene& scene)
{
    engine::Eligibility::enforceMountRule(false);
    engine::FileCompressor{}.compressFile(scene.files / "ログ" / "server-2.log");
    engine::Eligibility::enforceMountRule(true);
    scene.window.refreshAll();
    shootStatusPopover(scene, QStringLiteral("⚠ 未マウント"), "05b-unserved-popover.png");
}

// The sheets of adding items: a cloud folder's warning, the folder sheet
// behind it, and the alert for a file that is not there.
void shootAddingSheets(const Scene& scene)
{
    const fs::path shared = scene.files / "Dropbox" / "共有フォルダ";
    tools::writeFile(shared / "memo.txt", 6'000);
    scene.window.handleSelectedURLs({shared});
    scene.shoot("06-cloud-warning.png");
    scene.window.sheets().current()->accept();
    tools::settle(200);
    scene.shoot("07-folder-sheet.png");
    scene.window.sheets().dismiss();
    scene.window.handleSelectedURLs({scene.files / "存在しないファイル.txt"});
    scene.shoot("08-error-alert.png");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: main_window_screenshots <files folder> <png folder>\n");
        return 2;
    }
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
    const Scene scene{argv[1], out, model, window};
    scene.shoot("01-empty.png");

    shootRegistered(scene, container->mainContext());
    shootFilter(scene);
    shootScanBar(scene);
    shootMissingFile(scene);
    shootUnservedFile(scene);
    shootAddingSheets(scene);
    return 0;
}
