// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/bulk/PendingLargeOp.h"
#include "operations/rows/DisplayRow.h"
#include "ui/sheets/OperationProgressSheet.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

namespace kelvane::operations {
class MainWindowModel;
}

namespace kelvane::ui {

class BottomActionBar;
class DisplayRowTreeModel;
class RowTreeView;
class SheetPresenter;

// The main window's bulk runs: the buttons of the "操作" column, the bottom
// bar with the selection's counts and bulk buttons, the confirmation of a
// large run and the progress sheet, all over the window model's state.
class BulkRunControls final : public QObject {
    Q_OBJECT
public:
    // `openHistory` opens the history window ("履歴を見る"); without it the
    // finished sheet does not offer it.
    BulkRunControls(operations::MainWindowModel& model, RowTreeView& table, DisplayRowTreeModel& rows,
                    SheetPresenter& sheets, QWidget* window, std::function<void()> openHistory);

    BottomActionBar* bar() const { return bar_; }
    OperationProgressSheet* progressSheet() const { return sheet_; }
    QMessageBox* largeOperationAlert() const { return alert_; }

    // The bar's two bulk actions on the current selection.
    void startBulkOperation(operations::ActiveOperation::Kind kind);

private:
    void scheduleBarUpdate();
    void updateBar();
    void selectAllRows();
    void pendingLargeOpChanged();
    void operationProgressChanged();
    void widenActionColumn();

    operations::MainWindowModel& model_;
    RowTreeView& table_;
    DisplayRowTreeModel& rows_;
    SheetPresenter& sheets_;
    QWidget* window_;
    std::function<void()> openHistory_;
    BottomActionBar* bar_;
    QTimer barTimer_;
    QPointer<OperationProgressSheet> sheet_;
    QPointer<QMessageBox> alert_;
    std::optional<decltype(operations::PendingLargeOp::id)> alertFor_;
};

}  // namespace kelvane::ui
