// SPDX-License-Identifier: MIT
// The windowed application as a user meets it: the main window with its menu
// bar and toolbar, and what its keys, buttons and menu items open.

#include "WindowScenesFixture.h"

#include "app/WindowScenes.h"

#include "discovery/RegistrationCoordinator.h"
#include "engine/FileCompressor.h"
#include "operations/sheets/AskAIModel.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/sheets/SearchSheetModel.h"
#include "platform/qt/LanguageModel.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"
#include "ui/common/TableCells.h"
#include "ui/main/BottomActionBar.h"
#include "ui/main/BulkRunControls.h"
#include "ui/sheets/OperationProgressSheet.h"
#include "ui/main/MainWindow.h"
#include "ui/sheets/AskAISheet.h"
#include "ui/sheets/SearchSheet.h"
#include "ui/sheets/WizardSheet.h"
#include "ui/storage/StorageStatusDialog.h"
#include "ui/windows/AboutView.h"
#include "ui/windows/LogScreen.h"
#include "ui/windows/SettingsView.h"

#include "support/EventLoopWait.h"
#include "support/FakeShell.h"
#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <chrono>
#include <memory>
#include <string>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ui::MainColumn;

class WindowScenesTest : public test::WindowScenesFixture {
protected:
    // The key press goes to whatever has the focus in the main window, as when typed.
    void press(QKeyCombination keys)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window();
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    }

    template <class Sheet>
    Sheet* sheetOnScreen() const
    {
        auto* sheet = qobject_cast<Sheet*>(window().sheets().current());
        return sheet && sheet->isVisible() ? sheet : nullptr;
    }

    QModelIndex rowNamed(const std::string& name, MainColumn column = MainColumn::name) const
    {
        ui::DisplayRowTreeModel& rows = *window().rowModel();
        for (int r = 0; r < rows.rowCount(); ++r) {
            const QModelIndex index = rows.index(r, static_cast<int>(column));
            if (rows.row(index)->displayName == name)
                return index;
        }
        return {};
    }

    void registerItem(const fs::path& path, discovery::ItemKind kind)
    {
        discovery::RegistrationCoordinator{}.registerItem(path, kind, true, container_->mainContext());
    }
};

TEST_F(WindowScenesTest, EveryCommandIsOfferedInTheMenusAndTheToolbar)
{
    open();
    using ui::MenuCommand;
    const QString about = ui::menuCommandName(MenuCommand::openAbout);
    // Each with its letter, as the menu bar's titles have theirs.
    const std::vector<std::tuple<QString, const char*, QKeySequence>> items{
        {ui::menuCommandName(MenuCommand::openAddPanel), "ファイル / フォルダを追加(&A)…", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {ui::menuCommandName(MenuCommand::openWizard), "容量解放ウィザード(&W)…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
        {ui::menuCommandName(MenuCommand::openSearch), "条件で検索(&F)…", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {ui::menuCommandName(MenuCommand::refreshAll), "一覧を更新(&R)", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"settings", "設定(&S)…", QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {"quit", "終了(&Q)", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {ui::menuCommandName(MenuCommand::openStorageStatus), "ストレージ詳細(&S)…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)},
        {ui::menuCommandName(MenuCommand::openLogScreen), "履歴ログ(&L)…", QKeySequence(Qt::CTRL | Qt::Key_L)},
        {about, "Kelvane について(&A)", QKeySequence()},
        {about + ".usage", "Kelvane の使い方を見る(&U)", QKeySequence(Qt::CTRL | Qt::Key_Question)},
        {"supportPage", "不具合 / 機能要望を送る(&R)…", QKeySequence()},
    };
    for (const auto& [name, title, keys] : items) {
        const QAction* item = menuItem(name);
        ASSERT_NE(item, nullptr) << title;
        EXPECT_EQ(item->text(), QString::fromUtf8(title));
        EXPECT_EQ(item->shortcut(), keys) << title;
    }
    auto* toolbar = window().findChild<QToolBar*>(QStringLiteral("toolbar"));
    QStringList buttons;
    for (QAction* action : toolbar->actions())
        if (!action->text().isEmpty() && toolbar->widgetForAction(action) && action->isVisible())
            buttons << action->text();
    EXPECT_EQ(buttons, (QStringList{"追加", "ウィザード", "検索", "更新"}));
}

TEST_F(WindowScenesTest, WizardOpensFromItsButtonAndItsMenuItemOnceAtATime)
{
    open();
    auto* toolbar = window().findChild<QToolBar*>(QStringLiteral("toolbar"));
    QWidget* button = toolbar->widgetForAction(toolbar->findChild<QAction*>(QStringLiteral("ウィザード")));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return sheetOnScreen<ui::sheets::WizardSheet>() != nullptr; }));
    // The menu item while the wizard is up does not stack a second one.
    menuItem(ui::MenuCommand::openWizard)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(window().findChildren<ui::sheets::WizardSheet*>().size(), 1);

    window().sheets().dismiss();
    ASSERT_TRUE(waitFor([&] { return window().findChildren<ui::sheets::WizardSheet*>().isEmpty(); }));
    // The desktop hands the focus back to the window once its sheet is gone.
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    press(Qt::CTRL | Qt::SHIFT | Qt::Key_W);
    EXPECT_TRUE(waitFor([&] { return sheetOnScreen<ui::sheets::WizardSheet>() != nullptr; }));
}

TEST_F(WindowScenesTest, FilesRegisteredFromTheSearchSheetBecomeRowsAndCanBeAskedAbout)
{
    const fs::path work = home_ / "作業";
    writeText(work / "notes.txt", 3000);
    writeText(work / "sub" / "data.json", 9000);
    open();
    ASSERT_EQ(window().currentScreen(), window().startScreen());

    // Ctrl+F from the window's name field, where the focus sits at first.
    window().searchField()->setFocus();
    press(Qt::CTRL | Qt::Key_F);
    ui::sheets::SearchSheet* sheet = nullptr;
    ASSERT_TRUE(waitFor([&] { return (sheet = sheetOnScreen<ui::sheets::SearchSheet>()) != nullptr; }));
    // The name field's own text is untouched by the key.
    EXPECT_TRUE(window().searchField()->text().isEmpty());

    shell_.folderAnswers.push_back(work);
    auto* choose = sheet->findChild<QPushButton*>(QStringLiteral("chooseRootButton"));
    ASSERT_NE(choose, nullptr);
    QTest::mouseClick(choose, Qt::LeftButton);
    auto* minSize = sheet->findChild<QLineEdit*>(QStringLiteral("minSize"));
    minSize->selectAll();
    QTest::keyClicks(minSize, QStringLiteral("0"));
    auto buttonNamed = [&](const char* name) { return sheet->findChild<QPushButton*>(QString::fromLatin1(name)); };
    QTest::mouseClick(buttonNamed("searchButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet->model().isSearching() && sheet->model().results().size() == 2; }));
    sheet->resultsView()->selectAll();
    QPushButton* registering = buttonNamed("registerButton");
    ASSERT_NE(registering, nullptr);
    EXPECT_EQ(registering->text(), QStringLiteral("選択を登録 (2)"));
    QTest::mouseClick(registering, Qt::LeftButton);

    // The window lists both files without being told, and the sheet has gone.
    ASSERT_TRUE(waitFor([&] { return rowNamed("notes.txt").isValid() && rowNamed("data.json").isValid(); }));
    EXPECT_EQ(window().currentScreen(), static_cast<QWidget*>(window().table()));
    ASSERT_TRUE(waitFor([&] { return window().findChildren<ui::sheets::SearchSheet*>().isEmpty(); }));

    // A row's menu asks the local AI about its file.
    const operations::RowId id = window().rowModel()->row(rowNamed("notes.txt"))->id;
    std::unique_ptr<QMenu> menu(window().makeContextMenu({id}));
    auto* ask = menu->findChild<QAction*>(QStringLiteral("askAbout"));
    ASSERT_NE(ask, nullptr);
    ask->trigger();
    ui::sheets::AskAISheet* asking = nullptr;
    ASSERT_TRUE(waitFor([&] { return (asking = sheetOnScreen<ui::sheets::AskAISheet>()) != nullptr; }));
    EXPECT_EQ(asking->model().url(), work / "notes.txt");
    bool unavailable = false;
    ASSERT_TRUE(waitFor([&] {
        for (QLabel* label : asking->findChildren<QLabel*>())
            if (label->isVisible() && label->text() == QStringLiteral("⚠ ローカル AI が利用できません"))
                unavailable = true;
        return unavailable;
    }));
}

TEST_F(WindowScenesTest, StorageDetailsOpenWithTheRootVolumeSelected)
{
    open();
    press(Qt::CTRL | Qt::SHIFT | Qt::Key_I);
    ui::StorageStatusDialog* storage = nullptr;
    ASSERT_TRUE(waitFor([&] { return (storage = sheetOnScreen<ui::StorageStatusDialog>()) != nullptr; }));
    ASSERT_TRUE(waitFor([&] { return !storage->model().isLoading() && storage->model().selection().has_value(); }));
    EXPECT_EQ(*storage->model().selection(), fs::path("/"));
    ASSERT_NE(storage->model().selectedVolume(), nullptr);
    EXPECT_EQ(storage->model().selectedVolume()->url, fs::path("/"));
}

TEST_F(WindowScenesTest, TheHistoryOpensAsOneWindowHoweverOftenItIsAskedFor)
{
    open();
    QAction* history = menuItem(ui::MenuCommand::openLogScreen);
    history->trigger();
    history->trigger();
    press(Qt::CTRL | Qt::Key_L);
    int shown = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (qobject_cast<ui::LogScreen*>(top) && top->isVisible())
            ++shown;
    EXPECT_EQ(shown, 1);
    ASSERT_NE(scenes_->logWindow(), nullptr);
    EXPECT_EQ(scenes_->logWindow()->windowTitle(), QStringLiteral("履歴ログ"));
    // 960 x 640 where the screen has room; always inside the screen.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(available.contains(scenes_->logWindow()->frameGeometry()));
    const QSize frame = scenes_->logWindow()->frameGeometry().size() - scenes_->logWindow()->size();
    EXPECT_EQ(scenes_->logWindow()->size(), QSize(960, 640).boundedTo(available.size() - frame));

    // Closed, it comes back as a new one on the next request.
    scenes_->logWindow()->close();
    ASSERT_TRUE(waitFor([&] { return scenes_->logWindow() == nullptr; }));
    history->trigger();
    EXPECT_NE(scenes_->logWindow(), nullptr);
}

TEST_F(WindowScenesTest, TheProgressSheetsHistoryButtonBringsUpTheOneHistoryWindow)
{
    const fs::path folder = home_ / "Batch";
    for (int i = 0; i < 12; ++i)  // more files than a sheet that closes by itself
        writeText(folder / ("f" + std::to_string(i) + ".txt"), 40'000);
    registerItem(folder, discovery::ItemKind::folder);
    open();
    ui::BulkRunControls& runs = window().bulkRuns();
    ASSERT_TRUE(waitFor([&] { return rowNamed("Batch").isValid(); }));
    const operations::RowId id = window().rowModel()->row(rowNamed("Batch"))->id;

    const auto visibleHistoryWindows = [] {
        int shown = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<ui::LogScreen*>(top) && top->isVisible())
                ++shown;
        return shown;
    };
    // Runs the bar's action on the folder and presses "履歴を見る" on the finished sheet.
    const auto runThenShowHistory = [&](QPushButton* action, const QString& label, const QString& finished) {
        window().table()->selectIds({id});
        ASSERT_TRUE(waitFor([&] { return action->isEnabled() && action->text() == label; }))
            << action->text().toStdString();
        QTest::mouseClick(action, Qt::LeftButton);
        ui::OperationProgressSheet* sheet = runs.progressSheet();
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(waitFor([&] {
            auto* title = sheet->findChild<QLabel*>(QStringLiteral("title"));
            return title && title->text() == finished;
        }));
        auto* history = sheet->findChild<QPushButton*>(QStringLiteral("historyButton"));
        ASSERT_NE(history, nullptr);
        ASSERT_TRUE(history->isVisible());
        QTest::mouseClick(history, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return runs.progressSheet() == nullptr; }));
    };

    runThenShowHistory(runs.bar()->compressButton(), QStringLiteral("一括圧縮 (12)"), QStringLiteral("圧縮完了"));
    ASSERT_NE(scenes_->logWindow(), nullptr);
    const QPointer<ui::LogScreen> first = scenes_->logWindow();
    EXPECT_EQ(visibleHistoryWindows(), 1);

    // Pressed again after the next run, with the window still open: the same one comes forward.
    runThenShowHistory(runs.bar()->decompressButton(), QStringLiteral("一括圧縮解除 (12)"),
                       QStringLiteral("解除完了"));
    EXPECT_EQ(scenes_->logWindow(), first.data());
    EXPECT_EQ(visibleHistoryWindows(), 1);
}

TEST_F(WindowScenesTest, BothHelpItemsOpenAboutAsASheet)
{
    open();
    const QString about = ui::menuCommandName(ui::MenuCommand::openAbout);
    for (const QString& name : {about, about + ".usage"}) {
        const std::string title = name.toStdString();
        menuItem(name)->trigger();
        EXPECT_TRUE(waitFor([&] { return sheetOnScreen<ui::AboutView>() != nullptr; })) << title;
        window().sheets().dismiss();
        ASSERT_TRUE(waitFor([&] { return window().findChildren<ui::AboutView*>().isEmpty(); })) << title;
    }
}

TEST_F(WindowScenesTest, TheRatioWordingChosenInTheSettingsReachesTheOpenWindowsCells)
{
    const fs::path file = home_ / "packed.txt";
    writeText(file, 200'000);
    engine::FileCompressor{}.compressFile(file);
    registerItem(file, discovery::ItemKind::file);
    open();
    const QRegularExpression remaining(QStringLiteral("^原本の \\d+%$"));
    const QRegularExpression reduction(QStringLiteral("^\\d+% 削減$"));
    auto ratio = [&] { return rowNamed("packed.txt", MainColumn::ratio).data().toString(); };
    ASSERT_TRUE(waitFor([&] { return remaining.match(ratio()).hasMatch(); })) << ratio().toStdString();

    menuItem(QStringLiteral("settings"))->trigger();
    ui::SettingsView* settings = scenes_->settingsWindow();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    auto* choice = settings->findChild<QRadioButton*>(QStringLiteral("reduction"));
    ASSERT_NE(choice, nullptr);
    QTest::mouseClick(choice, Qt::LeftButton, {}, QPoint(6, choice->height() / 2));
    ASSERT_TRUE(choice->isChecked());
    // Reached at once, while the settings window keeps the focus.
    EXPECT_TRUE(reduction.match(ratio()).hasMatch()) << ratio().toStdString();
    const int saved = ratio().section(u'%', 0, 0).toInt();

    QTest::mouseClick(settings->findChild<QRadioButton*>(QStringLiteral("remaining")), Qt::LeftButton, {},
                      QPoint(6, choice->height() / 2));
    ASSERT_TRUE(remaining.match(ratio()).hasMatch()) << ratio().toStdString();
    const int kept = ratio().section(u' ', 1).chopped(1).toInt();
    EXPECT_NEAR(saved + kept, 100, 1);

    // A second request raises the same settings window.
    menuItem(QStringLiteral("settings"))->trigger();
    EXPECT_EQ(scenes_->settingsWindow(), settings);
}

}  // namespace
}  // namespace kelvane::app
