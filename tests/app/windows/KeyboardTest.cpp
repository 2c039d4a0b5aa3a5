// SPDX-License-Identifier: MIT
// The windowed application driven by keyboard alone: every window and sheet
// closes and quits by its keys, a row's own buttons run from the keyboard,
// and buttons that show only a symbol still say what they are.

#include "WindowScenesFixture.h"

#include "app/WindowScenes.h"

#include "discovery/RegistrationCoordinator.h"
#include "engine/FileCompressionInspector.h"
#include "operations/rows/FileStatusCache.h"
#include "platform/FileHandle.h"
#include "platform/qt/LanguageModel.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"
#include "ui/common/TableCells.h"
#include "ui/common/WindowKeys.h"
#include "ui/main/ActionCell.h"
#include "ui/main/BulkRunControls.h"
#include "ui/sheets/CloudFolderWarningSheet.h"
#include "ui/sheets/FolderRegistrationSheet.h"
#include "ui/main/MainWindow.h"
#include "ui/sheets/SearchSheet.h"
#include "ui/sheets/WizardSheet.h"
#include "ui/storage/StorageStatusDialog.h"
#include "ui/windows/AboutView.h"
#include "ui/windows/LogScreen.h"
#include "ui/sheets/NoticesSheet.h"
#include "ui/sheets/OperationProgressSheet.h"
#include "ui/windows/SettingsView.h"

#include "support/EventLoopWait.h"
#include "support/FakeShell.h"
#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ui::MainColumn;

bool compressedOnDisk(const fs::path& path)
{
    return engine::FileCompressionInspector{}.inspect(path).status.kind() ==
           engine::FileCompressionStatus::Kind::compressed;
}

// A window or sheet the user can bring up, and how.
struct Opened {
    const char* name;
    std::function<QWidget*()> open;
    bool escapeCloses;
};

class KeyboardTest : public test::WindowScenesFixture {
protected:
    // The window the desktop gives the keyboard to, as a window manager does
    // with a window or sheet that has just opened.
    static bool activate(QWidget* window)
    {
        window->activateWindow();
        return waitFor([&] { return QApplication::activeWindow() == window; });
    }

    // Typed as the user types: into the widget with the focus, when it is in `window`.
    static void press(QWidget* window, QKeyCombination keys)
    {
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && window->isAncestorOf(focus) ? focus : window;
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    }

    template <class Sheet>
    QWidget* sheetFrom(ui::MenuCommand command)
    {
        menuItem(command)->trigger();
        Sheet* sheet = nullptr;
        waitFor([&] { return (sheet = qobject_cast<Sheet*>(window().sheets().current())) && sheet->isVisible(); });
        return sheet;
    }

    // Every window and sheet of the application, opened afresh.
    std::vector<Opened> everyWindow()
    {
        return {
            {"settings", [this]() -> QWidget* { menuItem(QStringLiteral("settings"))->trigger(); return scenes_->settingsWindow(); }, true},
            {"history", [this]() -> QWidget* { menuItem(ui::MenuCommand::openLogScreen)->trigger(); return scenes_->logWindow(); }, true},
            {"wizard", [this] { return sheetFrom<ui::sheets::WizardSheet>(ui::MenuCommand::openWizard); }, true},
            {"search", [this] { return sheetFrom<ui::sheets::SearchSheet>(ui::MenuCommand::openSearch); }, true},
            {"storage", [this] { return sheetFrom<ui::StorageStatusDialog>(ui::MenuCommand::openStorageStatus); }, true},
            {"about", [this] { return sheetFrom<ui::AboutView>(ui::MenuCommand::openAbout); }, true},
            {"notices",
             [this]() -> QWidget* {
                 auto* about = qobject_cast<ui::AboutView*>(sheetFrom<ui::AboutView>(ui::MenuCommand::openAbout));
                 if (!about)
                     return nullptr;
                 about->showNotices();
                 return about->findChild<ui::NoticesSheet*>();
             },
             true},
            {"folder registration",
             [this]() -> QWidget* {
                 fs::create_directories(home_ / "Photos");
                 shell_.pickAnswers.push_back({home_ / "Photos"});
                 return sheetFrom<ui::FolderRegistrationSheet>(ui::MenuCommand::openAddPanel);
             },
             true},
            {"cloud warning",
             [this]() -> QWidget* {
                 writeText(home_ / "Dropbox/doc.txt", 5000);
                 shell_.pickAnswers.push_back({home_ / "Dropbox/doc.txt"});
                 return sheetFrom<ui::CloudFolderWarningSheet>(ui::MenuCommand::openAddPanel);
             },
             true},
        };
    }
};

TEST_F(KeyboardTest, EveryWindowAndSheetClosesWithItsKeysAndCtrlQQuitsFromEachOfThem)
{
    QSignalSpy quits(&ui::QuitRequest::shared(), &ui::QuitRequest::requested);
    const std::size_t count = everyWindow().size();
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<QKeyCombination> closers{Qt::CTRL | Qt::Key_W};
        open();
        const Opened opened = everyWindow()[i];
        if (opened.escapeCloses)
            closers.push_back(QKeyCombination(Qt::Key_Escape));
        for (const QKeyCombination keys : closers) {
            SCOPED_TRACE(std::string(opened.name) + " " + QKeySequence(keys).toString().toStdString());
            QPointer<QWidget> shown = opened.open();
            ASSERT_TRUE(shown) << "did not open";
            ASSERT_TRUE(waitFor([&] { return shown->isVisible(); }));
            ASSERT_TRUE(activate(shown));
            press(shown, keys);
            // Closed, and gone (every one of them is deleted on close).
            EXPECT_TRUE(waitFor([&] { return !shown; }));
            EXPECT_TRUE(window().isVisible());
            EXPECT_EQ(quits.count(), 0);
            // Nested sheets leave their parent up; close it for the next round.
            window().sheets().dismiss();
            waitFor([&] { return window().sheets().current() == nullptr; });
            window().activateWindow();
        }

        SCOPED_TRACE(std::string(opened.name) + " Ctrl+Q");
        QPointer<QWidget> shown = opened.open();
        ASSERT_TRUE(shown);
        ASSERT_TRUE(activate(shown));
        press(shown, Qt::CTRL | Qt::Key_Q);
        EXPECT_EQ(quits.count(), 1);
        // The application closes every window, the main one included.
        EXPECT_TRUE(waitFor([&] { return !window().isVisible() && (!shown || !shown->isVisible()); }));
        quits.clear();
    }

    // The main window: Alt and a menu's letter open it; Ctrl+W closes the
    // window, Escape does not; its menu quits.
    open();
    const std::vector<std::pair<Qt::Key, QString>> menus{
        {Qt::Key_F, "ファイル(&F)"}, {Qt::Key_I, "情報(&I)"}, {Qt::Key_H, "ヘルプ(&H)"}};
    for (const auto& [letter, title] : menus) {
        press(&window(), Qt::ALT | letter);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << title.toStdString();
        EXPECT_EQ(menu->title(), title);
        menu->close();
        ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    }
    ASSERT_TRUE(activate(&window()));
    press(&window(), QKeyCombination(Qt::Key_Escape));
    QApplication::processEvents();
    EXPECT_TRUE(window().isVisible());
    press(&window(), Qt::CTRL | Qt::Key_W);
    EXPECT_TRUE(waitFor([&] { return !window().isVisible(); }));
    open();
    press(&window(), Qt::CTRL | Qt::Key_Q);
    EXPECT_EQ(quits.count(), 1);
    EXPECT_TRUE(waitFor([&] { return !window().isVisible(); }));
}

// Ctrl+Q while a run goes on quits as the session's end does: the run is
// cancelled, the file in hand finished or rolled back, the run saved, and
// then every window closes, the run's summary included.
TEST_F(KeyboardTest, CtrlQDuringARunCancelsItWindsItDownAndClosesEveryWindow)
{
    const fs::path folder = home_ / "Many";
    // Read as every program reads them: a compressed file's original bytes.
    const auto contents = [](const fs::path& file) {
        std::vector<std::uint8_t> bytes;
        EXPECT_EQ(platform::readWholeFile(file, bytes), 0) << file;
        return bytes;
    };
    std::map<fs::path, std::vector<std::uint8_t>> originals;
    for (int i = 0; i < 150; ++i) {
        const fs::path file = folder / ("m" + std::to_string(i) + ".txt");
        writeText(file, 150'000 + 1000 * i);
        originals[file] = contents(file);
    }
    discovery::RegistrationCoordinator{}.registerItem(folder, discovery::ItemKind::folder, true,
                                                     container_->mainContext());
    open();
    ui::DisplayRowTreeModel& rows = *window().rowModel();
    const auto offersAll = [&] {
        if (rows.rowCount() != 1)
            return false;
        const auto buttons =
            ui::ActionCellDelegate::buttonsAt(rows.index(0, 0).siblingAtColumn(int(MainColumn::action)));
        return buttons.size() == 1 && buttons.front().title == "圧縮 150";
    };
    ASSERT_TRUE(kelvane::test::runEventsUntil(offersAll, 120s));
    window().table()->setFocus();
    window().table()->setCurrentIndex(rows.index(0, 0));
    press(&window(), Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    ui::OperationProgressSheet* sheet = window().bulkRuns().progressSheet();
    ASSERT_NE(sheet, nullptr);
    const auto progress = sheet->progress();
    ASSERT_TRUE(waitFor([&] { return progress->current() >= 3 || progress->isFinished(); }));
    ASSERT_FALSE(progress->isFinished()) << "the run ended before Ctrl+Q";
    ASSERT_TRUE(activate(sheet));

    press(sheet, Qt::CTRL | Qt::Key_Q);
    EXPECT_TRUE(progress->wasCancelled());
    ASSERT_TRUE(waitFor([&] { return progress->isFinished(); }));
    EXPECT_TRUE(waitFor([&] { return !window().isVisible() && window().bulkRuns().progressSheet() == nullptr; }));
    std::size_t compressed = 0;
    for (const auto& [file, bytes] : originals) {
        compressed += compressedOnDisk(file) ? 1 : 0;
        EXPECT_TRUE(contents(file) == bytes) << file;
    }
    // How many the cancel still let through depends on the machine's speed:
    // every file is whole either way.
    EXPECT_GE(compressed, 3u);
}

TEST_F(KeyboardTest, TheFocusedRowsButtonsRunFromTheKeyboardAndItsMenuShowsTheirKeys)
{
    const fs::path file = home_ / "notes.txt";
    const fs::path other = home_ / "other.txt";
    writeText(file, 200'000);
    writeText(other, 200'000);
    discovery::RegistrationCoordinator coordinator;
    coordinator.registerItem(file, discovery::ItemKind::file, true, container_->mainContext());
    coordinator.registerItem(other, discovery::ItemKind::file, true, container_->mainContext());
    open();
    ui::RowTreeView* table = window().table();
    ui::DisplayRowTreeModel& rows = *window().rowModel();
    const auto rowOf = [&](const fs::path& path) {
        for (int r = 0; r < rows.rowCount(); ++r)
            if (rows.row(rows.index(r, 0))->url == path)
                return rows.index(r, 0);
        return QModelIndex();
    };
    const auto offers = [&](const fs::path& path, const QString& title) {
        const QModelIndex index = rowOf(path);
        if (!index.isValid())
            return false;
        const auto buttons = ui::ActionCellDelegate::buttonsAt(index.siblingAtColumn(int(MainColumn::action)));
        return buttons.size() == 1 && buttons.front().title == title;
    };
    ASSERT_TRUE(waitFor([&] { return offers(file, "圧縮") && offers(other, "圧縮"); }));

    // The focused row, not the other one, and only the button it offers.
    table->setFocus();
    table->setCurrentIndex(rowOf(file));
    press(&window(), Qt::CTRL | Qt::SHIFT | Qt::Key_D);
    QApplication::processEvents();
    EXPECT_EQ(window().sheets().current(), nullptr);
    EXPECT_FALSE(compressedOnDisk(file));
    press(&window(), Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    ASSERT_TRUE(waitFor([&] { return compressedOnDisk(file) && offers(file, "解除"); }));
    EXPECT_FALSE(compressedOnDisk(other));

    // The context-menu key opens the row's menu at the row, with the button's item and key first.
    const auto openMenu = [&](const std::function<void()>& how) -> QMenu* {
        table->setFocus();
        table->setCurrentIndex(rowOf(file));
        how();
        QMenu* menu = nullptr;
        waitFor([&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* shown = qobject_cast<QMenu*>(top); shown && shown->isVisible())
                    menu = shown;
            return menu != nullptr;
        });
        return menu;
    };
    QMenu* menu = openMenu([&] {
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1), table->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(table, &key);
    });
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "rowContextMenu");
    const QRect rowOnScreen(table->viewport()->mapToGlobal(table->visualRect(rowOf(file)).topLeft()),
                            table->visualRect(rowOf(file)).size());
    EXPECT_TRUE(rowOnScreen.contains(menu->pos())) << menu->pos().x() << "," << menu->pos().y();
    QAction* first = menu->actions().value(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(), "解除(&U)");
    EXPECT_EQ(first->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    EXPECT_TRUE(first->isShortcutVisibleInContextMenu());
    QPointer<QMenu> closing = menu;
    menu->close();
    ASSERT_TRUE(waitFor([&] { return !closing; }));

    // Shift+F10 too; Return on the item runs it.
    menu = openMenu([&] { QTest::keyClick(table, Qt::Key_F10, Qt::ShiftModifier); });
    ASSERT_NE(menu, nullptr);
    menu->setActiveAction(menu->actions().value(0));
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !compressedOnDisk(file) && offers(file, "圧縮"); }));
}

TEST_F(KeyboardTest, ButtonsThatShowOnlyASymbolSayWhatTheyAre)
{
    const fs::path file = home_ / "notes.txt";
    writeText(file, 200'000);
    discovery::RegistrationCoordinator{}.registerItem(file, discovery::ItemKind::file, true,
                                                      container_->mainContext());
    open();
    const auto check = [](QWidget* root, const char* name) {
        for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
            // Only a symbol: an icon, an arrow or a sign such as "+", and no word.
            const QString text = button->text();
            const bool words = std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
            auto* tool = qobject_cast<QToolButton*>(button);
            const bool arrow = tool && tool->arrowType() != Qt::NoArrow;
            if (words || (text.trimmed().isEmpty() && button->icon().isNull() && !arrow))
                continue;
            // Qt's own parts (overflow and tab scroll arrows, a field's clear button).
            if (button->objectName().startsWith("qt_") || qobject_cast<QTabBar*>(button->parentWidget())
                || QByteArray(button->metaObject()->className()) == "QLineEditIconButton")
                continue;
            const std::string where = std::string(name) + ": " + button->objectName().toStdString() + " ("
                                      + button->metaObject()->className() + ")";
            EXPECT_FALSE(button->accessibleName().isEmpty()) << where;
            EXPECT_FALSE(button->toolTip().isEmpty()) << where;
        }
    };
    window().table()->selectAll();
    QApplication::processEvents();
    check(&window(), "main window");
    for (const Opened& opened : everyWindow()) {
        QPointer<QWidget> shown = opened.open();
        ASSERT_TRUE(shown) << opened.name;
        check(shown, opened.name);
        shown->close();
        window().sheets().dismiss();
        waitFor([&] { return window().sheets().current() == nullptr; });
    }
}

// The widgets Tab visits, in order, from the window's first one.
std::vector<QWidget*> tabChain(QWidget* window)
{
    std::vector<QWidget*> chain;
    const auto takesTab = [window](QWidget* w) {
        return w != window && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled()
               && w->window() == window && !w->focusProxy();
    };
    QWidget* w = window->nextInFocusChain();
    for (int guard = 0; w != window && guard < 2000; ++guard, w = w->nextInFocusChain())
        if (takesTab(w))
            chain.push_back(w);
    return chain;
}

// Where two widgets sit, seen from the nearest widget holding both: a widget
// inside a scrolled page that holds only one of them stands for it, since
// scrolled-out content has no place on screen.
std::pair<QRect, QRect> placesOf(QWidget* a, QWidget* b)
{
    QWidget* common = a->parentWidget();
    while (common && !common->isAncestorOf(b))
        common = common->parentWidget();
    const auto place = [common](QWidget* w) {
        for (QWidget* up = w->parentWidget(); up && up != common; up = up->parentWidget())
            if (qobject_cast<QAbstractScrollArea*>(up))
                w = up;
        return QRect(w->mapTo(common, QPoint(0, 0)), w->size());
    };
    return {place(a), place(b)};
}

TEST_F(KeyboardTest, TabFollowsTheLayoutInEveryWindow)
{
    // Rows in the table, a wizard place that exists, a history entry.
    const fs::path file = home_ / "notes.txt";
    writeText(file, 200'000);
    discovery::RegistrationCoordinator{}.registerItem(file, discovery::ItemKind::file, true,
                                                      container_->mainContext());
    fs::create_directories(home_ / ".cache/app");
    writeText(home_ / ".local/state/app/old.log", 100'000);
    open();
    ASSERT_TRUE(waitFor([&] { return window().table()->isVisible() && window().rowModel()->rowCount() == 1; }));
    window().table()->selectAll();
    QApplication::processEvents();
    const auto check = [](QWidget* window, const char* name) {
        const std::vector<QWidget*> chain = tabChain(window);
        EXPECT_FALSE(chain.empty()) << name;
        for (std::size_t i = 1; i < chain.size(); ++i) {
            const auto [before, next] = placesOf(chain[i - 1], chain[i]);
            // Reading order: Tab never goes up to a line above, nor left on the same line.
            const bool above = next.bottom() < before.top();
            const bool sameLine = next.top() < before.bottom() && before.top() < next.bottom();
            const bool left = sameLine && next.right() < before.left();
            EXPECT_FALSE(above || left)
                << name << ": " << chain[i - 1]->metaObject()->className() << " '" << chain[i - 1]->objectName().toStdString()
                << "' then " << chain[i]->metaObject()->className() << " '" << chain[i]->objectName().toStdString() << "' ("
                << before.x() << "," << before.y() << " -> " << next.x() << "," << next.y() << ")";
        }
    };
    check(&window(), "main window");
    for (const Opened& opened : everyWindow()) {
        QPointer<QWidget> shown = opened.open();
        ASSERT_TRUE(shown) << opened.name;
        QApplication::processEvents();
        check(shown, opened.name);
        // Every page of a window with tabs.
        for (QTabWidget* tabs : shown->findChildren<QTabWidget*>())
            for (int page = 1; page < tabs->count(); ++page) {
                tabs->setCurrentIndex(page);
                QApplication::processEvents();
                check(shown, (std::string(opened.name) + " " + tabs->tabText(page).toStdString()).c_str());
            }
        shown->close();
        window().sheets().dismiss();
        waitFor([&] { return window().sheets().current() == nullptr; });
    }
}

}  // namespace
}  // namespace kelvane::app
