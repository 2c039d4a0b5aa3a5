// SPDX-License-Identifier: MIT
// Draws the sheets that the main window opens (search, wizard, asking the
// local AI, storage details) and the main window's menus, through the same
// windows the application builds, and saves each as a PNG. Run it under
// xvfb-run in a throw-away home folder (tools/screenshots.sh does):
//
//   sheet_screenshots <files folder> <png folder>
//
// The local AI is played by a loopback server inside this program, so the
// ask sheet is shown with an answer as well as without a configured one.
// Not a test: it asserts nothing, it only shows.

#include "app/WindowScenes.h"
#include "discovery/RegistrationCoordinator.h"
#include "discovery/XdgFolders.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/sheets/SearchSheetModel.h"
#include "operations/sheets/WizardSheetModel.h"
#include "platform/AppSupport.h"
#include "platform/qt/LanguageModel.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"
#include "ui/common/MenuCommands.h"
#include "ui/common/DesktopShell.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"
#include "ui/main/MainWindow.h"
#include "ui/sheets/AskAISheet.h"
#include "ui/sheets/SearchSheet.h"
#include "ui/sheets/WizardPresetRow.h"
#include "ui/sheets/WizardSheet.h"
#include "ui/storage/StorageStatusDialog.h"

#include "ui/sheets/FakeChatServer.h"

#include "ScreenshotPalette.h"
#include "ScreenshotSteps.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;
using namespace kelvane;

namespace {

fs::path out;

void save(QWidget* widget, const char* name)
{
    tools::settle(300);
    tools::savePicture(widget->grab(), out / name);
}

// The screen where the main window is, with whatever sheet is over it.
void saveScreen(QWidget* window, const char* name)
{
    tools::settle(300);
    tools::savePicture(tools::wholeScreen().copy(window->frameGeometry()), out / name);
}

QPushButton* buttonTitled(QWidget* in, const QString& prefix)
{
    for (QPushButton* button : in->findChildren<QPushButton*>())
        if (button->text().startsWith(prefix) && button->isVisible())
            return button;
    return nullptr;
}

template <class Sheet>
Sheet* sheetOf(ui::MainWindow& window)
{
    Sheet* sheet = nullptr;
    tools::waitUntil([&] { return (sheet = qobject_cast<Sheet*>(window.sheets().current())) != nullptr; });
    return sheet;
}

// Chooses the menu item with this title.
void choose(ui::MainWindow& window, ui::MenuCommand command)
{
    for (QAction* menu : window.menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            if (item->objectName() == ui::menuCommandName(command))
                item->trigger();
}

void close(ui::MainWindow& window)
{
    window.sheets().dismiss();
    tools::settle(200);
}

// Folders the wizard looks at, and a project folder to search; gives the project.
fs::path writeSampleFiles(const fs::path& files)
{
    for (int i = 0; i < 8; ++i)
        tools::writeFile(discovery::xdgStateHome() / ("サーバー-" + std::to_string(i) + ".log"), 120'000 + 90'000 * i, 'k',
                  40 + i);
    tools::writeFile(discovery::xdgStateHome() / "crash-reports/クラッシュレポート_2026-11-30_とても長い名前.txt", 64'000, 'k',
              45);
    tools::writeFile(discovery::xdgStateHome() / "今日のログ.log", 300'000);
    tools::writeFile(discovery::xdgCacheHome() / "org.example.viewer/cache.db", 3'400'000);
    const fs::path project = files / "プロジェクト";
    tools::writeFile(project / "議事録_2026年度第3四半期_営業戦略会議_最終版.txt", 48'000);
    tools::writeFile(project / "build.log", 1'200'000);
    tools::writeFile(project / "src" / "main.cpp", 26'000);
    tools::writeFile(project / "data" / "測定結果.csv", 2'600'000);
    tools::writeFile(project / "写真.jpg", 800'000, 'j');
    return project;
}

// The File, Info and Help menus, opened as by a click on their titles.
void saveMenus(ui::MainWindow& window)
{
    for (QAction* title : window.menuBar()->actions()) {
        QMenu* menu = title->menu();
        if (!title->text().startsWith(QStringLiteral("ファイル")) && !title->text().startsWith(QStringLiteral("情報")) &&
            !title->text().startsWith(QStringLiteral("ヘルプ")))
            continue;
        menu->popup(window.menuBar()->mapToGlobal(window.menuBar()->actionGeometry(title).bottomLeft()));
        const std::string name = "menu-" + std::to_string(window.menuBar()->actions().indexOf(title) + 1) + ".png";
        save(menu, name.c_str());
        menu->hide();
    }
}

// Search: the empty form, then the results of the project folder, and the
// local AI's answer about one of them.
void saveSearch(ui::MainWindow& window, const fs::path& project, ui::sheets::test::FakeChatServer& chat)
{
    choose(window, ui::MenuCommand::openSearch);
    auto* search = sheetOf<ui::sheets::SearchSheet>(window);
    saveScreen(&window, "main-window-with-search.png");
    save(search, "search-1-form.png");
    search->model().setRootURL(project);
    search->model().setMinSizeMB(QStringLiteral("0"));
    buttonTitled(search, QStringLiteral("検索"))->click();
    tools::waitUntil([&] { return !search->model().isSearching(); });
    search->resultsView()->selectRow(0);
    save(search, "search-2-results.png");
    search->askAI(project / "build.log");
    tools::waitUntil([&] { return search->askSheet() != nullptr && chat.requests.size() == 1; });
    chat.sendFragment(QStringLiteral("build.log はビルドの記録です。テキストなので圧縮で大きく縮みます。"));
    chat.sendFragment(QStringLiteral("古いログであれば登録して圧縮しておくと容量を節約できます。"));
    chat.finish();
    tools::settle(500);
    save(search->askSheet(), "ask-1-answer.png");
    search->askSheet()->close();
    close(window);
}

// Asking without a local AI configured, from a row of the main window.
void saveAskUnavailable(app::WindowScenes& plain)
{
    ui::MainWindow& window = plain.mainWindow();
    window.show();
    tools::waitUntil([&] { return window.rowModel()->rowCount() == 1; });
    const operations::RowId id = window.rowModel()->row(window.rowModel()->index(0, 0))->id;
    std::unique_ptr<QMenu> menu(window.makeContextMenu({id}));
    for (QAction* action : menu->actions())
        if (action->objectName() == QStringLiteral("askAbout"))
            action->trigger();
    auto* ask = sheetOf<ui::sheets::AskAISheet>(window);
    save(ask, "ask-2-unavailable.png");
    close(window);
}

// The wizard: its list, further down where the found folders are, then the
// inside of the logs folder.
void saveWizard(ui::MainWindow& window)
{
    choose(window, ui::MenuCommand::openWizard);
    auto* wizard = sheetOf<ui::sheets::WizardSheet>(window);
    tools::waitUntil([&] { return wizard->model().presetSizes().size() >= 2; });
    save(wizard, "wizard-1-list.png");
    if (auto* list = wizard->findChild<QScrollArea*>())
        for (ui::sheets::WizardPresetRow* row : wizard->rows())
            if (row->preset().id == "caches") {
                list->verticalScrollBar()->setValue(row->mapTo(list->widget(), QPoint(0, 0)).y() - 8);
                save(wizard, "wizard-1-list-found.png");
            }
    for (ui::sheets::WizardPresetRow* row : wizard->rows())
        if (row->preset().id == "logs")
            buttonTitled(row, QStringLiteral("中身を見る"))->click();
    tools::waitUntil([&] { return wizard->detail() != nullptr; });
    tools::settle(1500);
    save(wizard, "wizard-2-detail.png");
    close(window);
}

// Storage details, as the menu opens them.
void saveStorage(ui::MainWindow& window)
{
    choose(window, ui::MenuCommand::openStorageStatus);
    auto* storage = sheetOf<ui::StorageStatusDialog>(window);
    tools::waitUntil([&] { return !storage->model().isLoading() && storage->model().selectedVolume(); });
    save(storage, "storage-from-main-window.png");
    close(window);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sheet_screenshots <files folder> <png folder>\n");
        return 2;
    }
    out = argv[2];
    fs::create_directories(out);
    QApplication application(argc, argv);
    kelvane::tools::applyScreenshotPalette();
    platform::Settings().setValue(platform::settings_keys::hasShownFirstLaunchAbout, true);
    const fs::path project = writeSampleFiles(argv[1]);

    std::error_code error;
    auto container = store::makeModelContainer(platform::ensureApplicationSupportDirectory(error) / "store.sqlite");
    discovery::RegistrationCoordinator{}.registerItem(project, discovery::ItemKind::folder, true,
                                                      container->mainContext());
    operations::FileStatusCache cache;
    ui::DesktopShell shell;
    ui::sheets::test::FakeChatServer chat;
    auto languageModel = platform::LanguageModel::make({chat.endpoint(), QStringLiteral("sample-model")});
    app::WindowScenes scenes(container, cache, shell, languageModel);
    ui::MainWindow& window = scenes.mainWindow();
    window.move(0, 0);
    window.show();
    tools::waitUntil([&] { return window.rowModel()->rowCount() == 1; });
    tools::waitUntil([&] { return window.rowModel()->rowCount(window.rowModel()->index(0, 0)) == 5; });
    window.table()->expand(window.rowModel()->index(0, 0));
    saveScreen(&window, "main-window.png");

    saveMenus(window);
    saveSearch(window, project, chat);
    {
        app::WindowScenes plain(container, cache, shell, platform::LanguageModel::unavailableModel());
        saveAskUnavailable(plain);
    }
    saveWizard(window);
    saveStorage(window);
    return 0;
}
