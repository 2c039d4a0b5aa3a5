// SPDX-License-Identifier: MIT
#include "ui/common/RowTreeView.h"

#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowCellDelegate.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QTimer>
#include <QScrollBar>

namespace kelvane::ui {

RowTreeView::RowTreeView(QWidget* parent) : QTreeView(parent)
{
    setItemDelegate(new RowCellDelegate(this));
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAlternatingRowColors(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);  // the window sorts: the view only shows the indicator
    header()->setSortIndicatorShown(true);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(true);
    setMouseTracking(true);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (const auto* row = model_ ? model_->row(index) : nullptr)
            expanded_.insert(row->id);
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (const auto* row = model_ ? model_->row(index) : nullptr)
            expanded_.erase(row->id);
    });
}

void RowTreeView::setRowModel(DisplayRowTreeModel* model)
{
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    setModel(model);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &RowTreeView::rememberState);
    connect(model, &QAbstractItemModel::modelReset, this, &RowTreeView::restoreState);
}

bool RowTreeView::event(QEvent* event)
{
    // The desktop sends the context-menu key as a menu event at the text
    // cursor, which a table does not have: the menu opens at the current row.
    if (event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        // The key press itself may have opened the menu already.
        if (!menuKeyJustPressed_)
            requestMenuForCurrentRow();
        return true;
    }
    return QTreeView::event(event);
}

void RowTreeView::keyPressEvent(QKeyEvent* event)
{
    const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (shiftF10 || (event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier)) {
        requestMenuForCurrentRow();
        event->accept();
        // A desktop may still follow the key with its menu event in the same turn.
        menuKeyJustPressed_ = true;
        QTimer::singleShot(0, this, [this] { menuKeyJustPressed_ = false; });
        return;
    }
    QTreeView::keyPressEvent(event);
}

void RowTreeView::requestMenuForCurrentRow()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || contextMenuPolicy() != Qt::CustomContextMenu)
        return;
    scrollTo(current);
    emit customContextMenuRequested(visualRect(current).center());
}

std::vector<operations::RowId> RowTreeView::selectedIds() const
{
    std::vector<operations::RowId> ids;
    if (!selectionModel())
        return ids;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        if (const auto* row = model_->row(index))
            ids.push_back(row->id);
    return ids;
}

void RowTreeView::selectIds(const std::vector<operations::RowId>& ids)
{
    QItemSelection selection;
    for (const operations::RowId& id : ids) {
        const QModelIndex index = model_->indexOfId(id);
        if (index.isValid())
            selection.select(index, index.siblingAtColumn(mainColumnCount - 1));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void RowTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    // The base class measures every changed cell to find what to repaint,
    // which for a change of all 100,000 rows takes longer than repainting the
    // screen. Rows have one height and cells no editors, so a large change
    // only needs the visible rows drawn again.
    if (bottomRight.row() - topLeft.row() > 256) {
        viewport()->update();
        return;
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

void RowTreeView::rememberState()
{
    selected_ = selectedIds();
    const auto* current = model_->row(currentIndex());
    current_ = current ? std::optional(current->id) : std::nullopt;
    vertical_ = verticalScrollBar()->value();
    horizontal_ = horizontalScrollBar()->value();
}

void RowTreeView::restoreState()
{
    // One pass over the rows finds everything to put back.
    std::set<operations::RowId> wanted = expanded_;
    wanted.insert(selected_.begin(), selected_.end());
    if (current_)
        wanted.insert(*current_);
    const std::unordered_map<operations::RowId, QModelIndex> found = model_->indexesOfIds(wanted);
    const auto at = [&](const std::optional<operations::RowId>& id) {
        const auto it = id ? found.find(*id) : found.end();
        return it == found.end() ? QModelIndex() : it->second;
    };
    const std::set<operations::RowId> opened = expanded_;
    for (const operations::RowId& id : opened) {
        const QModelIndex index = at(id);
        if (index.isValid() && model_->hasChildren(index))
            setExpanded(index, true);
    }
    expanded_ = opened;
    if (const QModelIndex current = at(current_); current.isValid())
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    QItemSelection selection;
    for (const operations::RowId& id : selected_)
        if (const QModelIndex index = at(id); index.isValid())
            selection.select(index, index.siblingAtColumn(mainColumnCount - 1));
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The scroll range follows the new rows only after the layout has run.
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(vertical_);
    horizontalScrollBar()->setValue(horizontal_);
}

}  // namespace kelvane::ui
