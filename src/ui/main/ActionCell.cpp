// SPDX-License-Identifier: MIT
#include "ui/main/ActionCell.h"

#include "operations/windows/MainWindowModel.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/Symbols.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>

namespace kelvane::ui {

using operations::ActiveOperation;
using operations::DisplayRow;
using operations::FileStatusEntry;

namespace {

using Kind = RowAction;
using engine::FileCompressionStatus;

constexpr int spacing = 4;

int iconSide(bool mini) { return mini ? 10 : 12; }
int buttonHeight(bool mini) { return mini ? 17 : 21; }
int padding(bool mini) { return mini ? 6 : 8; }

int buttonWidth(const ActionButton& button, const QFont& base)
{
    const QFontMetrics metrics(ActionCell::buttonFont(base, button.mini));
    return 2 * padding(button.mini) + iconSide(button.mini) + 4 + metrics.horizontalAdvance(button.title);
}

ActionButton compressButton(QString title, QString toolTip, bool mini)
{
    return {Kind::compress, std::move(title), std::move(toolTip), true, mini};
}

ActionButton decompressButton(QString title, QString toolTip)
{
    return {Kind::decompress, std::move(title), std::move(toolTip), false, false};
}

}  // namespace

std::optional<ActiveOperation::Kind> bulkKindOf(RowAction action)
{
    switch (action) {
    case RowAction::compress: return ActiveOperation::Kind::compress;
    case RowAction::decompress: return ActiveOperation::Kind::decompress;
    case RowAction::mount: break;
    }
    return std::nullopt;
}

void ActionCell::perform(operations::MainWindowModel& model, RowAction action, const DisplayRow& row)
{
    if (const auto kind = bulkKindOf(action))
        model.performRowAction(*kind, row);
    else
        model.serveAgain(row);
}

std::vector<ActionButton> ActionCell::buttons(const DisplayRow& row, const FileStatusEntry& entry)
{
    if (row.kind == DisplayRow::DisplayKind::file) {
        // Nothing else is worth doing before the file reads right again.
        if (entry.as<FileStatusEntry::unserved>())
            return {{Kind::mount, QStringLiteral("マウント"),
                     QStringLiteral("このフォルダを kelvanefs でマウントし直します"), true, false}};
        const engine::FileCompressionInfo* info = entry.info();
        if (!info)
            return {};
        switch (info->status.kind()) {
        case FileCompressionStatus::Kind::compressed:
            return {decompressButton(QStringLiteral("解除"), QStringLiteral("圧縮を解除して元の状態に戻します"))};
        case FileCompressionStatus::Kind::uncompressed:
            return {compressButton(QStringLiteral("圧縮"), QString(), true)};
        case FileCompressionStatus::Kind::incompressible:
        case FileCompressionStatus::Kind::datalessCloud: return {};
        }
        return {};
    }
    if (!row.folderAggregate)
        return {};
    std::vector<ActionButton> result;
    const long long compressable = row.folderAggregate->compressableCount;
    const long long compressed = row.folderAggregate->compressedCount;
    if (compressable >= 1)
        result.push_back(compressButton(QStringLiteral("圧縮 %1").arg(compressable),
                                        QStringLiteral("配下の未圧縮ファイル %1 件を一括で圧縮します").arg(compressable),
                                        false));
    if (compressed >= 1)
        result.push_back(decompressButton(QStringLiteral("解除 %1").arg(compressed),
                                          QStringLiteral("配下の圧縮済みファイル %1 件を一括で解除します").arg(compressed)));
    return result;
}

QFont ActionCell::buttonFont(const QFont& base, bool mini)
{
    QFont font = base;
    const qreal size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    font.setPointSizeF(size * (mini ? 0.8 : 0.9));
    return font;
}

std::vector<QRect> ActionCell::buttonRects(const QRect& cell, const std::vector<ActionButton>& buttons,
                                           const QFont& font)
{
    std::vector<QRect> rects;
    if (buttons.empty())
        return rects;
    const int total = widthFor(buttons, font);
    int x = cell.x() + std::max(0, (cell.width() - total) / 2);
    for (const ActionButton& button : buttons) {
        const int width = buttonWidth(button, font);
        const int height = std::min(buttonHeight(button.mini), cell.height());
        rects.emplace_back(x, cell.y() + (cell.height() - height) / 2, width, height);
        x += width + spacing;
    }
    return rects;
}

int ActionCell::widthFor(const std::vector<ActionButton>& buttons, const QFont& font)
{
    int total = 0;
    for (const ActionButton& button : buttons)
        total += buttonWidth(button, font) + (total ? spacing : 0);
    return total;
}

ColumnWidth ActionCell::columnBounds(const QFont& font)
{
    const auto both = [&font](const QString& count) {
        return widthFor({compressButton(QStringLiteral("圧縮 ") + count, {}, false),
                         decompressButton(QStringLiteral("解除 ") + count, {})},
                        font) +
               8;
    };
    const int fits = both(QStringLiteral("88888"));
    return {fits, fits, both(QStringLiteral("8888888"))};
}

// --- the delegate -------------------------------------------------------------------

ActionCellDelegate::ActionCellDelegate(OnAction onAction, QObject* parent)
    : QStyledItemDelegate(parent), onAction_(std::move(onAction))
{
}

std::vector<ActionButton> ActionCellDelegate::buttonsAt(const QModelIndex& index)
{
    const auto* model = qobject_cast<const DisplayRowTreeModel*>(index.model());
    const DisplayRow* row = model ? model->row(index) : nullptr;
    if (!row)
        return {};
    return ActionCell::buttons(*row, model->entry(*row));
}

void ActionCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The cell's own content is empty: this draws its background and selection.
    QStyledItemDelegate::paint(painter, option, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    const std::vector<ActionButton> buttons = buttonsAt(index);
    const std::vector<QRect> rects = ActionCell::buttonRects(option.rect, buttons, option.font);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const ActionButton& button = buttons[i];
        QStyleOptionButton opt;
        opt.rect = rects[i];
        opt.text = button.title;
        opt.state = QStyle::State_Enabled | QStyle::State_Raised;
        if (pressed_ == index && pressedButton_ == static_cast<int>(i))
            opt.state |= QStyle::State_Sunken;
        opt.palette = option.palette;
        if (button.prominent) {
            opt.palette.setColor(QPalette::Button, option.palette.color(QPalette::Highlight));
            opt.palette.setColor(QPalette::ButtonText, option.palette.color(QPalette::HighlightedText));
        }
        const int side = iconSide(button.mini);
        const char16_t* icon = button.kind == Kind::compress     ? u"arrow.down.right.and.arrow.up.left"
                               : button.kind == Kind::decompress ? u"arrow.up.left.and.arrow.down.right"
                                                                 : u"externaldrive.fill";
        opt.icon = symbolIcon(icon, opt.palette.color(QPalette::ButtonText));
        opt.iconSize = QSize(side, side);
        const QFont font = ActionCell::buttonFont(option.font, button.mini);
        opt.fontMetrics = QFontMetrics(font);
        painter->save();
        painter->setFont(font);
        style->drawControl(QStyle::CE_PushButton, &opt, painter, widget);
        painter->restore();
    }
}

QSize ActionCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), QFontMetrics(option.font).height() + 8));
    size.setWidth(std::max(size.width(), ActionCell::widthFor(buttonsAt(index), option.font) + 8));
    return size;
}

bool ActionCellDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const std::vector<ActionButton> buttons = buttonsAt(index);
    const std::vector<QRect> rects = ActionCell::buttonRects(option.rect, buttons, option.font);
    int hit = -1;
    for (std::size_t i = 0; i < rects.size(); ++i)
        if (rects[i].contains(mouse->position().toPoint()))
            hit = static_cast<int>(i);
    if (type != QEvent::MouseButtonRelease) {
        pressed_ = hit >= 0 ? QPersistentModelIndex(index) : QPersistentModelIndex();
        pressedButton_ = hit;
        return hit >= 0;  // a press on a button does not select the row
    }
    const bool clicked = hit >= 0 && pressed_ == index && pressedButton_ == hit;
    pressed_ = QPersistentModelIndex();
    pressedButton_ = -1;
    if (!clicked)
        return hit >= 0;
    const auto* model = qobject_cast<const DisplayRowTreeModel*>(index.model());
    const DisplayRow* row = model ? model->row(index) : nullptr;
    if (row && onAction_) {
        const DisplayRow copy = *row;  // the call may replace the model's rows
        onAction_(buttons[static_cast<std::size_t>(hit)].kind, copy);
    }
    return true;
}

bool ActionCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const std::vector<ActionButton> buttons = buttonsAt(index);
    const std::vector<QRect> rects = ActionCell::buttonRects(option.rect, buttons, option.font);
    for (std::size_t i = 0; i < rects.size(); ++i)
        if (rects[i].contains(event->pos()) && !buttons[i].toolTip.isEmpty()) {
            QToolTip::showText(event->globalPos(), buttons[i].toolTip, view, rects[i]);
            return true;
        }
    QToolTip::hideText();
    event->ignore();
    return true;
}

}  // namespace kelvane::ui
