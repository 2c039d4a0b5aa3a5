// SPDX-License-Identifier: MIT
#pragma once

#include "store/CompressionLog.h"
#include "store/Uuid.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;

namespace kelvane::store {
class ModelContainer;
class ModelContext;
}

namespace kelvane::ui {

class Shell;

// The rows of the history table, already filtered and sorted by LogScreen.
class LogTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { executedAt, operation, target, sizeBefore, sizeAfter, saved, algorithm, duration, result, detail };
    static constexpr int columnCount_ = 10;

    using Logs = std::vector<std::shared_ptr<store::CompressionLog>>;

    explicit LogTableModel(QObject* parent = nullptr);

    void setLogs(Logs logs);
    const Logs& logs() const { return logs_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static bool isSortable(int column);

private:
    Logs logs_;
};

// The history window's content ("履歴ログ"): every history record of the
// store, narrowed by operation, result and a path search, sortable, copied
// as tab-separated text, deleted as a whole. Follows the store: records
// saved or deleted anywhere show up or go away while it is open.
// The application keeps at most one: create it on the first request, then
// raise the same object (it deletes itself when closed only if told to with
// Qt::WA_DeleteOnClose).
class LogScreen final : public QWidget {
    Q_OBJECT
public:
    enum class OperationFilter { all, compress, decompress };
    enum class ResultFilter { all, success, failure };
    static QString label(OperationFilter filter);
    static QString label(ResultFilter filter);

    using Ids = std::set<store::Uuid>;

    // Reads and deletes through `context` (normally the container's main
    // context); `container` tells it when records change.
    LogScreen(std::shared_ptr<store::ModelContainer> container, store::ModelContext& context, Shell& shell,
              QWidget* parent = nullptr);
    ~LogScreen() override;

    void setOperationFilter(OperationFilter filter);
    void setResultFilter(ResultFilter filter);
    void setSearchQuery(const QString& query);
    // A column of LogTableModel; unsortable columns are ignored.
    void setSortOrder(int column, Qt::SortOrder order);

    bool matches(const store::CompressionLog& log) const;
    const LogTableModel::Logs& logs() const { return logs_; }
    const LogTableModel::Logs& filteredLogs() const { return model_->logs(); }
    const Ids& selection() const { return selection_; }
    void setSelection(const Ids& ids);

    // The shown rows that are selected, or every shown row without a
    // selection; with `ids`, the shown rows among them. Nothing to copy
    // leaves the clipboard alone.
    void copyAsTSV(const std::optional<Ids>& ids = std::nullopt);
    QString tsv(const LogTableModel::Logs& rows) const;

    // Asks first ("ログを全削除しますか？"); the answer deletes every record.
    void confirmDeleteAll();
    // Deletes every record with one save. A failed save is rolled back by the
    // store, the rows stay and an alert tells the user.
    void deleteAllLogs();

    // Re-reads the records (the store calls it after every save that touched them).
    void reload();

signals:
    void contentChanged();

private:
    void build();
    void refreshView();
    void refreshChrome();
    void applyFilters();
    void restoreViewSelection();
    void takeViewSelection();
    void showContextMenu(const QPoint& position);

    std::shared_ptr<store::ModelContainer> container_;
    store::ModelContext& context_;
    Shell& shell_;
    std::uint64_t observerToken_ = 0;

    LogTableModel::Logs logs_;
    OperationFilter operationFilter_ = OperationFilter::all;
    ResultFilter resultFilter_ = ResultFilter::all;
    QString searchQuery_;
    int sortColumn_ = LogTableModel::executedAt;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
    Ids selection_;
    bool restoringSelection_ = false;

    LogTableModel* model_ = nullptr;
    QToolButton* operationButton_ = nullptr;
    QToolButton* resultButton_ = nullptr;
    QAction* copyAction_ = nullptr;
    QToolButton* copyButton_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QStackedWidget* content_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* countsLabel_ = nullptr;
    QLabel* dotLabel_ = nullptr;
    QLabel* savedLabel_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
};

}  // namespace kelvane::ui
