// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/rows/DisplayRow.h"
#include "operations/threads/TaskHandle.h"
#include "ui/common/Popover.h"
#include "ui/common/SheetPresenter.h"
#include "ui/common/TableCells.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QLineEdit;
class QMenu;
class QStackedWidget;
class QToolButton;

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::platform {
class Settings;
}

namespace kelvane::operations {
class AddItemsFlow;
class MainWindowModel;
class RegisteredItemsQuery;
}  // namespace kelvane::operations

namespace kelvane::ui {

enum class RowAction;

class BulkRunControls;
class ColumnWidths;
class DisplayRowTreeModel;
class FilterBar;
class MenuCommandReceiver;
class RowTreeView;
class ScanActivityBar;
class Shell;

// What the main window opens that lives elsewhere. An empty hook means that
// part is not there: its button, menu item and context-menu item are not
// shown.
struct MainWindowHooks {
    std::function<void()> openWizard;
    std::function<void()> openSearch;
    std::function<void()> openStorageStatus;
    std::function<void()> openLogScreen;
    std::function<void()> openAbout;
    std::function<void(const std::filesystem::path&)> askAbout;
    // After each load of the registered folders, with the number of items.
    std::function<void(int registeredCount)> itemsLoaded;
    // When the reminder is turned on or off elsewhere, with the setting and
    // the number of registered items.
    std::function<void(bool enabled, std::int64_t registeredCount)> rescheduleReminder;
};

// The window a user works in: the table of registered files and folders with
// their state, the filters and commands of the toolbar, the scan bar, adding
// items by the picker or by dropping them, and the sheets and alerts of all
// that. The state lives in the window model; the window shows it and hands
// the user's wishes to it.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(operations::MainWindowModel& model, store::ModelContainer& container, Shell& shell,
               const QString& versionLabel, MainWindowHooks hooks = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // --- commands ------------------------------------------------------------
    void presentOpenPanel();
    void handleSelectedURLs(const std::vector<std::filesystem::path>& urls);
    void refreshAll();
    void refreshSelection(const std::set<operations::RowId>& ids);
    void removeSelectedRegistrations(const std::set<operations::RowId>& ids);
    void openItems(const std::vector<std::filesystem::path>& urls);
    void revealItems(const std::vector<std::filesystem::path>& urls);
    void showStatusDetail(const operations::RowId& rowId);
    // Shows or hides a column and keeps the choice ("名前" always stays).
    void setColumnShown(MainColumn column, bool shown);

    // --- what the user sees (also for tests) -----------------------------------
    RowTreeView* table() const { return table_; }
    DisplayRowTreeModel* rowModel() const { return rowModel_; }
    FilterBar* filterBar() const { return filterBar_; }
    QLineEdit* searchField() const { return search_; }
    ScanActivityBar* scanBar() const { return scanBar_; }
    BulkRunControls& bulkRuns() const { return *bulkRuns_; }
    QWidget* startScreen() const { return startScreen_; }
    QWidget* noMatchScreen() const { return noMatchScreen_; }
    QWidget* currentScreen() const;
    SheetPresenter& sheets() { return sheets_; }
    QMessageBox* errorAlert() const { return errorAlert_; }
    Popover* popover() const { return popover_; }
    operations::AddItemsFlow& adding() const { return *adding_; }
    const MenuCommandReceiver& commands() const { return *commands_; }
    // The context menu for these row ids (none for an empty set).
    QMenu* makeContextMenu(const std::set<operations::RowId>& ids);
    // The keys that run the focused row's compress and decompress buttons.
    static QKeySequence rowActionKey(RowAction action);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildToolBar();
    void buildScreens();
    void restoreColumns();
    void saveColumns();
    void showHeaderMenu(const QPoint& at);
    void applySortIndicator(int section, Qt::SortOrder order);

    void itemsChanged();
    void derivedRowsChanged();
    void updateScreen();
    void scanActivityChanged();
    void errorMessageChanged();
    void cloudWarningChanged();
    void folderToRegisterChanged();
    void scheduleVisibleInspection();
    void inspectVisibleRows();
    void showContextMenu(const QPoint& at);
    // The row's own button of this kind, as if clicked; nothing when the row offers none.
    void runRowAction(RowAction action, const QModelIndex& index);
    void tableClicked(const QModelIndex& index);

    operations::MainWindowModel& model_;
    store::ModelContainer& container_;
    Shell& shell_;
    MainWindowHooks hooks_;
    std::unique_ptr<platform::Settings> settings_;
    operations::RegisteredItemsQuery* query_;
    operations::AddItemsFlow* adding_;
    MenuCommandReceiver* commands_;
    SheetPresenter sheets_;

    DisplayRowTreeModel* rowModel_;
    RowTreeView* table_;
    FilterBar* filterBar_;
    QLineEdit* search_;
    QStackedWidget* screens_;
    QWidget* startScreen_;
    QWidget* noMatchScreen_;
    ScanActivityBar* scanBar_;
    BulkRunControls* bulkRuns_;
    QPointer<QMessageBox> errorAlert_;
    QPointer<Popover> popover_;

    bool shownOnce_ = false;
    std::optional<operations::TaskHandle> itemsLoad_;
    QTimer inspectTimer_;
    bool restoringColumns_ = false;
    ColumnWidths* columnWidths_ = nullptr;
};

}  // namespace kelvane::ui
