// SPDX-License-Identifier: MIT
#pragma once

#include "operations/windows/HistoryFilterModel.h"
#include "operations/windows/HistoryModel.h"

#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;

namespace kelvane::ui {

class Shell;

// The history window ("履歴ログ"): draws a HistoryFilterModel and passes the
// user's filters, sort, selection, copy and delete on to it. Follows the
// store: records saved or deleted anywhere show up or go away while it is open.
// The application keeps at most one: create it on the first request, then
// raise the same object (it deletes itself when closed only if told to with
// Qt::WA_DeleteOnClose).
class LogScreen final : public QWidget {
    Q_OBJECT
public:
    using Ids = operations::HistoryIds;

    // Reads and deletes through `context` (normally the container's main
    // context); `container` tells it when records change.
    LogScreen(std::shared_ptr<store::ModelContainer> container, store::ModelContext& context, Shell& shell,
              QWidget* parent = nullptr);
    ~LogScreen() override;

    operations::HistoryFilterModel& history() { return *history_; }

    // Also puts the text in the search field.
    void setSearchQuery(const QString& query);
    // A column of HistoryModel; unsortable columns are ignored.
    void setSortOrder(int column, Qt::SortOrder order);

    // What HistoryFilterModel::copyText gives; nothing to copy leaves the
    // clipboard alone.
    void copyAsTSV(const std::optional<Ids>& ids = std::nullopt);

    // Asks first ("ログを全削除しますか？"); the answer deletes every record.
    void confirmDeleteAll();
    // Deletes every record with one save; a failed save keeps the rows and an
    // alert tells the user.
    void deleteAllLogs();

private:
    void build();
    QWidget* buildToolbar();
    template <class Filter>
    QToolButton* buildFilterButton(const QString& objectName, const QString& symbol, const QString& title,
                                   void (operations::HistoryFilterModel::*choose)(Filter));
    QWidget* buildContent();
    QTableView* buildTable();
    QWidget* buildFooter();

    void refreshView();
    void refreshChrome();
    void restoreViewSelection();
    void takeViewSelection();
    Ids viewSelection() const;
    void showContextMenu(const QPoint& position);

    Shell& shell_;
    std::unique_ptr<operations::HistoryModel> records_;
    std::unique_ptr<operations::HistoryFilterModel> history_;
    bool syncingSelection_ = false;

    QToolButton* operationButton_ = nullptr;
    QToolButton* resultButton_ = nullptr;
    QAction* copyAction_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QStackedWidget* content_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* countsLabel_ = nullptr;
    QLabel* dotLabel_ = nullptr;
    QLabel* savedLabel_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
};

}  // namespace kelvane::ui
