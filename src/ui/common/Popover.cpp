// SPDX-License-Identifier: MIT
#include "ui/common/Popover.h"

#include <QKeyEvent>
#include <QScreen>

namespace kelvane::ui {

Popover::Popover(QWidget* parent) : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setFrameShape(QFrame::StyledPanel);
    setAttribute(Qt::WA_DeleteOnClose);
}

void Popover::showAt(QWidget* anchorWidget, const QRect& anchor)
{
    adjustSize();
    QPoint at = anchorWidget->mapToGlobal(anchor.bottomLeft() + QPoint(0, 2));
    if (const QScreen* screen = anchorWidget->screen()) {
        const QRect available = screen->availableGeometry();
        if (at.x() + width() > available.right())
            at.setX(std::max(available.left(), available.right() - width()));
        if (at.y() + height() > available.bottom())
            at.setY(std::max(available.top(), anchorWidget->mapToGlobal(anchor.topLeft()).y() - height() - 2));
    }
    move(at);
    show();
}

void Popover::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void Popover::closeEvent(QCloseEvent* event)
{
    announceClosed();
    QFrame::closeEvent(event);
}

void Popover::hideEvent(QHideEvent* event)
{
    announceClosed();
    QFrame::hideEvent(event);
}

void Popover::announceClosed()
{
    if (announced_)
        return;
    announced_ = true;
    emit closed();
}

}  // namespace kelvane::ui
