// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractItemView>
#include <QColor>
#include <QItemSelectionModel>
#include <QFrame>
#include <QLabel>
#include <QString>

class QWidget;

namespace kelvane::ui {
class ElidedLabel;
}

namespace kelvane::ui::sheets {

// One line of plain text shortened with "…" (ui::ElidedLabel) that takes the
// width the sheet's layout offers instead of growing the window.
ElidedLabel* stretchingElidedLabel(Qt::TextElideMode mode, QWidget* parent);

// A label that shows its text as it stands: never rich text, whatever the
// file names hold.
QLabel* plainLabel(const QString& text = {}, QWidget* parent = nullptr);
// The same, wrapping and selectable by mouse and keyboard.
QLabel* selectableLabel(const QString& text = {}, QWidget* parent = nullptr);

// The palette's dimmed text colour for secondary text.
void setSecondaryStyle(QWidget* widget);
void setTextColor(QWidget* widget, const QColor& color);
// Point size relative to the application font (caption -1, title 3 +3 ...).
void setRelativeFontSize(QWidget* widget, int delta, bool bold = false);

QFrame* horizontalDivider(QWidget* parent = nullptr);

// Makes the view's selection exactly the rows whose key `selected` holds, as
// whole rows. `keyOf(row)` gives row's key.
template <class Rows, class KeyOf, class Set>
void selectRows(QAbstractItemView* view, const Rows& rows, KeyOf keyOf, const Set& selected)
{
    QItemSelection selection;
    const int lastColumn = view->model()->columnCount() - 1;
    for (int index = 0; index < static_cast<int>(rows.size()); ++index)
        if (selected.contains(keyOf(rows[static_cast<std::size_t>(index)])))
            selection.select(view->model()->index(index, 0), view->model()->index(index, lastColumn));
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

// Colours the sheets give their messages.
inline const QColor kOrange{0xE6, 0x7E, 0x00};
inline const QColor kGreen{0x2E, 0x9D, 0x3E};
inline const QColor kRed{0xD0, 0x30, 0x30};

}  // namespace kelvane::ui::sheets
