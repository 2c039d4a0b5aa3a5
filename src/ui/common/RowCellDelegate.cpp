// SPDX-License-Identifier: MIT
#include "ui/common/RowCellDelegate.h"

#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include <QAbstractScrollArea>
#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QToolTip>

namespace kelvane::ui {

SpinnerClock& SpinnerClock::shared()
{
    static SpinnerClock* clock = new SpinnerClock;
    return *clock;
}

SpinnerClock::SpinnerClock()
{
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, &SpinnerClock::tick);
}

void SpinnerClock::keepTurning(QWidget* viewport)
{
    for (const auto& known : viewports_)
        if (known == viewport)
            return;
    viewports_.emplace_back(viewport);
    if (!timer_.isActive())
        timer_.start();
}

void SpinnerClock::tick()
{
    angle_ = (angle_ + 30) % 360;
    auto viewports = std::move(viewports_);
    viewports_.clear();
    for (const auto& viewport : viewports)
        if (viewport && viewport->isVisible())
            viewport->update();
    // A view that still shows a spinner asks again while it repaints.
    if (viewports.empty())
        timer_.stop();
}

void RowCellDelegate::paintSpinner(QPainter* painter, const QRect& rect, const QColor& color, int angle)
{
    const int side = std::min(rect.width(), rect.height());
    const QRectF box(rect.x() + 1.5, rect.y() + (rect.height() - side) / 2.0 + 1.5, side - 3.0, side - 3.0);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 2.0);
    pen.setCapStyle(Qt::RoundCap);
    painter->setPen(pen);
    painter->drawArc(box, -angle * 16, 270 * 16);
    painter->restore();
}

namespace {

QColor toneColor(Tone tone, const QStyleOptionViewItem& option)
{
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    if (selected)
        return palette.color(QPalette::HighlightedText);
    switch (tone) {
    case Tone::primary: return palette.color(QPalette::Text);
    case Tone::secondary: {
        QColor c = palette.color(QPalette::Text);
        c.setAlphaF(0.62f);
        return c;
    }
    case Tone::tint: return palette.color(QPalette::Highlight);  // the accent, as everywhere
    case Tone::warning: return QColor(0xd9, 0x6c, 0x00);
    case Tone::cloud: return QColor(0x1c, 0x71, 0xd8);
    }
    return palette.color(QPalette::Text);
}

}  // namespace

void RowBackgroundDelegate::paintRowBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                               const QModelIndex& index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
}

void RowCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const DisplayRowTreeModel*>(index.model());
    if (!model) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    paintRowBackground(painter, option, index);

    const CellContent cell = model->cell(index);
    QRect area = option.rect.adjusted(4, 0, -4, 0);
    const QColor color = toneColor(cell.tone, option);

    if (static_cast<MainColumn>(index.column()) == MainColumn::name) {
        const auto* row = model->row(index);
        const bool folder = row && row->kind == operations::DisplayRow::DisplayKind::folder;
        const int side = std::min(16, area.height());
        const QRect iconRect(area.x(), area.y() + (area.height() - side) / 2, side, side);
        paintSymbol(*painter, iconRect, folder ? u"folder.fill" : u"doc.fill", toneColor(Tone::tint, option));
        area.setLeft(iconRect.right() + 7);
    }
    if (cell.spinner) {
        const int side = std::min(14, area.height());
        const QRect spin(area.x(), area.y() + (area.height() - side) / 2, side, side);
        paintSpinner(painter, spin, toneColor(Tone::secondary, option), SpinnerClock::shared().angle());
        area.setLeft(spin.right() + 5);
        if (const auto* view = qobject_cast<const QAbstractScrollArea*>(option.widget))
            SpinnerClock::shared().keepTurning(view->viewport());
    }
    if (!cell.symbol.isEmpty()) {
        const int side = std::min(14, area.height());
        const QRect symbolRect(area.x(), area.y() + (area.height() - side) / 2, side, side);
        paintSymbol(*painter, symbolRect, cell.symbol, color);
        area.setLeft(symbolRect.right() + 5);
    }
    if (cell.text.isEmpty())
        return;
    painter->save();
    QFont font = cell.monospacedDigits ? monospacedDigitsFont(option.font) : option.font;
    if (cell.clickable)
        font.setUnderline(false);
    painter->setFont(font);
    painter->setPen(color);
    const QString shown = QFontMetrics(font).elidedText(cell.text, cell.elide, area.width());
    painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
    painter->restore();
}

bool RowCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return RowBackgroundDelegate::helpEvent(event, view, option, index);
    const QString tip = index.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), plainToolTip(tip), view, option.rect);
    return true;
}

QSize RowCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), QFontMetrics(option.font).height() + 8));
    return size;
}

}  // namespace kelvane::ui
