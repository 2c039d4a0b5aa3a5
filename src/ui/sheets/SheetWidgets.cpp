// SPDX-License-Identifier: MIT
#include "ui/sheets/SheetWidgets.h"

#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"
#include "ui/sheets/CandidateTableModel.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvane::ui::sheets {

ElidedLabel* stretchingElidedLabel(Qt::TextElideMode mode, QWidget* parent)
{
    auto* label = new ElidedLabel(mode, parent);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
}

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QLabel* selectableLabel(const QString& text, QWidget* parent)
{
    QLabel* label = plainLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QLabel* caption(const QString& text, QWidget* parent)
{
    QLabel* label = plainLabel(text, parent);
    setRelativeFontSize(label, -1);
    setSecondaryText(label);
    return label;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void setRelativeFontSize(QWidget* widget, int delta, bool bold)
{
    // From the application's font, so that setting it again does not add up.
    QFont font = widget->font();
    const QFont base = QApplication::font();
    if (base.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, base.pointSizeF() + delta));
    font.setBold(bold);
    widget->setFont(font);
}

QFrame* horizontalDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QVBoxLayout* setUpConfirmationSheet(QDialog* sheet, const char* objectName, int width)
{
    sheet->setObjectName(QString::fromLatin1(objectName));
    sheet->setWindowTitle(QStringLiteral("Kelvane"));
    sheet->setFixedWidth(width);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    return layout;
}

void setUpSheet(QDialog* sheet, const QString& title, QSize minimum, QSize size)
{
    sheet->setWindowTitle(title);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setMinimumSize(minimum);
    sheet->resize(size);
}

QPushButton* sheetButton(const QString& text, QWidget* parent, const char* objectName, const QIcon& icon)
{
    auto* button = new QPushButton(icon, text, parent);
    button->setAutoDefault(false);
    if (objectName)
        button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QHBoxLayout* spreadRow(std::initializer_list<QWidget*> leading, std::initializer_list<QWidget*> trailing,
                       QMargins margins, int spacing)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(margins);
    if (spacing >= 0)
        row->setSpacing(spacing);
    for (QWidget* widget : leading)
        row->addWidget(widget);
    row->addStretch(1);
    for (QWidget* widget : trailing)
        row->addWidget(widget);
    return row;
}

QHBoxLayout* symbolHeader(QLabel* symbol, Qt::Alignment symbolAlignment, std::initializer_list<QWidget*> lines,
                          int spacing)
{
    auto* header = new QHBoxLayout;
    header->setSpacing(spacing);
    header->addWidget(symbol, 0, symbolAlignment);
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    for (QWidget* line : lines)
        column->addWidget(line);
    header->addLayout(column, 1);
    return header;
}

BusyRow busyRow(const QString& text, QWidget* parent, QMargins margins, int spacing)
{
    BusyRow busy;
    busy.row = new QWidget(parent);
    auto* layout = new QHBoxLayout(busy.row);
    layout->setContentsMargins(margins);
    layout->setSpacing(spacing);
    auto* spinner = new QProgressBar(busy.row);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(48, 10);
    busy.text = plainLabel(text, busy.row);
    setSecondaryText(busy.text);
    layout->addWidget(spinner);
    layout->addWidget(busy.text);
    layout->addStretch(1);
    return busy;
}

QVBoxLayout* centredColumn(QWidget* page, std::initializer_list<QWidget*> widgets, int spacing, bool middle,
                           const QWidget* fullWidth)
{
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(spacing);
    if (middle)
        layout->addStretch(1);
    for (QWidget* widget : widgets)
        layout->addWidget(widget, 0, widget == fullWidth ? Qt::Alignment() : Qt::AlignHCenter);
    if (middle)
        layout->addStretch(1);
    return layout;
}

EmptyState emptyState(QWidget* parent, const QString& symbol, int symbolSide, const QString& title, int titleSize,
                      const QString& text, bool centred)
{
    EmptyState empty;
    empty.box = new QWidget(parent);
    auto* icon = new QLabel(empty.box);
    icon->setPixmap(symbolPixmap(symbol, secondaryColor(empty.box->palette()), symbolSide, 2.0));
    QLabel* heading = plainLabel(title, empty.box);
    setRelativeFontSize(heading, titleSize, true);
    empty.text = plainLabel(text, empty.box);
    setSecondaryText(empty.text);
    centredColumn(empty.box, {icon, heading, empty.text}, 8, centred);
    return empty;
}

void setUpCandidateView(QTableView* view, CandidateTable* model, int sortColumn, std::vector<ColumnWidth> widths)
{
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSortingEnabled(true);
    view->horizontalHeader()->setSortIndicator(sortColumn, Qt::DescendingOrder);
    view->verticalHeader()->hide();
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideMiddle);
    ColumnWidths::apply(view->horizontalHeader(), std::move(widths));
}

SelectionLink::SelectionLink(QTableView* view, CandidateTable* model) : QObject(view), view_(view), model_(model)
{
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &SelectionLink::takeSelection);
}

void SelectionLink::showSelection()
{
    const QScopedValueRollback guard(syncing_, true);
    QItemSelection selection;
    const int lastColumn = model_->columnCount() - 1;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (model_->selection().contains(model_->pathAt(row)))
            selection.select(model_->index(row, 0), model_->index(row, lastColumn));
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void SelectionLink::takeSelection()
{
    if (syncing_)
        return;
    CandidateTable::Paths selection = model_->selection();
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (view_->selectionModel()->isRowSelected(row, {}))
            selection.insert(model_->pathAt(row));
        else
            selection.erase(model_->pathAt(row));
    }
    const QScopedValueRollback guard(syncing_, true);
    model_->setSelection(std::move(selection));
}

}  // namespace kelvane::ui::sheets
