// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"
#include "ui/common/ColumnWidths.h"

#include <QRect>
#include <QStyledItemDelegate>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kelvane::operations {
class MainWindowModel;
}

namespace kelvane::ui {

// What a button of the "操作" cell does: a run of its file or folder, or
// mounting the folder of a file no kelvanefs mount serves.
enum class RowAction { compress, decompress, mount };

// The run a row action starts; none for `mount`.
std::optional<operations::ActiveOperation::Kind> bulkKindOf(RowAction action);

// One button of the "操作" cell.
struct ActionButton {
    RowAction kind = RowAction::compress;
    QString title;
    QString toolTip;        // empty: none
    bool prominent = false; // filled with the accent colour
    bool mini = false;      // the smaller control size
    bool operator==(const ActionButton&) const = default;
};

struct ActionCell {
    // The buttons a row offers, in order: for a file the one operation its
    // inspected state allows (none until it has been inspected; "マウント"
    // where no mount serves it); for a folder
    // a compress and a decompress button with the counts of its aggregate
    // (none until the aggregate is there).
    static std::vector<ActionButton> buttons(const operations::DisplayRow& row,
                                             const operations::FileStatusEntry& entry);
    // Does what a button of the row stands for.
    static void perform(operations::MainWindowModel& model, RowAction action, const operations::DisplayRow& row);
    // Where the buttons sit in a cell: side by side, 4 apart, centred.
    static std::vector<QRect> buttonRects(const QRect& cell, const std::vector<ActionButton>& buttons,
                                          const QFont& font);
    static QFont buttonFont(const QFont& base, bool mini);
    // The width the widest buttons need, for the column.
    static int widthFor(const std::vector<ActionButton>& buttons, const QFont& font);
    // The "操作" column's widths in `font`: a folder's two buttons with
    // five-digit counts always fit; it grows no wider than seven-digit ones.
    static ColumnWidth columnBounds(const QFont& font);
};

// Paints the "操作" cell's buttons and hands a click on one of them, with
// the kind and the row, to the owner. It starts nothing itself.
class ActionCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using OnAction = std::function<void(RowAction, const operations::DisplayRow&)>;

    ActionCellDelegate(OnAction onAction, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The buttons of the row at `index` (none for another model).
    static std::vector<ActionButton> buttonsAt(const QModelIndex& index);

private:
    OnAction onAction_;
    QPersistentModelIndex pressed_;
    int pressedButton_ = -1;
};

}  // namespace kelvane::ui
