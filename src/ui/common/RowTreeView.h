// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/RowId.h"

#include <QTreeView>

#include <optional>
#include <set>
#include <vector>

namespace kelvane::ui {

class DisplayRowTreeModel;

// The tree view of the main table. When its model resets (the rows changed
// their ids), it puts back what the user had: the expanded folders, the
// selection, the current row and the scroll position, all by row id.
class RowTreeView final : public QTreeView {
    Q_OBJECT
public:
    explicit RowTreeView(QWidget* parent = nullptr);

    void setRowModel(DisplayRowTreeModel* model);
    DisplayRowTreeModel* rowModel() const { return model_; }

    std::vector<operations::RowId> selectedIds() const;
    void selectIds(const std::vector<operations::RowId>& ids);

protected:
    // The context-menu key and Shift+F10 ask for the menu of the current
    // row, at that row (customContextMenuRequested, in viewport coordinates).
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

private:
    void requestMenuForCurrentRow();
    void rememberState();
    void restoreState();

    DisplayRowTreeModel* model_ = nullptr;
    // The folders the user opened, kept also while a folder has no rows to
    // show (its files are being listed again), so it opens again with them.
    std::set<operations::RowId> expanded_;
    std::vector<operations::RowId> selected_;
    std::optional<operations::RowId> current_;
    int vertical_ = 0;
    int horizontal_ = 0;
    bool menuKeyJustPressed_ = false;
};

}  // namespace kelvane::ui
