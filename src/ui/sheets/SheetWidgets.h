// SPDX-License-Identifier: MIT
#pragma once

#include "ui/common/ColumnWidths.h"

#include <QColor>
#include <QIcon>
#include <QFrame>
#include <QLabel>
#include <QMargins>
#include <QObject>
#include <QSize>
#include <QString>

#include <initializer_list>
#include <vector>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QTableView;
class QVBoxLayout;
class QWidget;

namespace kelvane::ui {
class ElidedLabel;
}

namespace kelvane::ui::sheets {

class CandidateTable;

// One line of plain text shortened with "…" (ui::ElidedLabel) that takes the
// width the sheet's layout offers instead of growing the window.
ElidedLabel* stretchingElidedLabel(Qt::TextElideMode mode, QWidget* parent);

// A label that shows its text as it stands: never rich text, whatever the
// file names hold.
QLabel* plainLabel(const QString& text = {}, QWidget* parent = nullptr);
// The same, wrapping and selectable by mouse and keyboard.
QLabel* selectableLabel(const QString& text = {}, QWidget* parent = nullptr);

// A small secondary text: a caption over or beside what it names.
QLabel* caption(const QString& text, QWidget* parent);

void setTextColor(QWidget* widget, const QColor& color);
// Point size relative to the application font (caption -1, title 3 +3 ...).
void setRelativeFontSize(QWidget* widget, int delta, bool bold = false);

QFrame* horizontalDivider(QWidget* parent = nullptr);

// A sheet that asks before a registration: its name, the program's title,
// a fixed width, and the column its content goes in.
QVBoxLayout* setUpConfirmationSheet(QDialog* sheet, const char* objectName, int width);

// A sheet's frame: its title, modal to its window, its least and first size.
void setUpSheet(QDialog* sheet, const QString& title, QSize minimum, QSize size);

// A sheet's push button: Return presses it only where a shortcut says so.
QPushButton* sheetButton(const QString& text, QWidget* parent, const char* objectName = nullptr,
                         const QIcon& icon = {});

// A bar of a sheet: `leading` widgets at the left, `trailing` at the right.
QHBoxLayout* spreadRow(std::initializer_list<QWidget*> leading, std::initializer_list<QWidget*> trailing,
                       QMargins margins, int spacing = -1);

// A header: the symbol on the left, the lines beside it taking the rest.
QHBoxLayout* symbolHeader(QLabel* symbol, Qt::Alignment symbolAlignment, std::initializer_list<QWidget*> lines,
                          int spacing = 12);

// Work under way: a small moving bar and a text beside it.
struct BusyRow {
    QWidget* row = nullptr;
    QLabel* text = nullptr;
};
BusyRow busyRow(const QString& text, QWidget* parent, QMargins margins, int spacing);

// Lays `widgets` on `page` one under the other, each centred across (but
// `fullWidth`, which takes the width), and with `middle` in the middle of
// the page's height.
QVBoxLayout* centredColumn(QWidget* page, std::initializer_list<QWidget*> widgets, int spacing, bool middle,
                           const QWidget* fullWidth = nullptr);

// What an area shows when it has nothing to list: a symbol over a title and a
// text, each centred. `centred` keeps the three in the middle of the height.
struct EmptyState {
    QWidget* box = nullptr;
    QLabel* text = nullptr;
};
EmptyState emptyState(QWidget* parent, const QString& symbol, int symbolSide, const QString& title, int titleSize,
                      const QString& text, bool centred);

// A sheet's table of found files: whole rows picked, several at once, sorted
// by `sortColumn` descending at first, names shortened in the middle.
void setUpCandidateView(QTableView* view, CandidateTable* model, int sortColumn,
                        std::vector<ColumnWidth> widths);

// Keeps a candidate table's picked rows and its model's selection the same,
// both ways. Paths beyond the table's rows keep their place in the selection.
class SelectionLink final : public QObject {
public:
    SelectionLink(QTableView* view, CandidateTable* model);

    // The model's selection changed: the view follows.
    void showSelection();

private:
    void takeSelection();

    QTableView* view_;
    CandidateTable* model_;
    bool syncing_ = false;
};

// Colours the sheets give their messages.
inline const QColor kOrange{0xE6, 0x7E, 0x00};
inline const QColor kGreen{0x2E, 0x9D, 0x3E};
inline const QColor kRed{0xD0, 0x30, 0x30};

}  // namespace kelvane::ui::sheets
