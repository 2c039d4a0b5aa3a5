// SPDX-License-Identifier: MIT
#include "ui/common/WindowGeometry.h"

#include "platform/qt/Settings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace kelvane::ui {

namespace {

QRect availableArea(const QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

WindowGeometry* WindowGeometry::keep(QWidget* window, const char* key, QSize defaultSize)
{
    return new WindowGeometry(window, key, defaultSize);
}

void WindowGeometry::centreOn(QWidget* window, const QWidget* parent)
{
    const QWidget* anchor = parent && parent->isVisible() ? parent : nullptr;
    if (anchor && anchor->screen())
        window->setScreen(anchor->screen());
    const QRect available = availableArea(anchor ? anchor : window);
    window->adjustSize();
    // Before it is shown the window manager's frame is unknown: a title bar's
    // worth above the window is kept free.
    const QMargins titleBar(0, 32, 0, 0);
    QRect frame = QRect(QPoint(), window->size()).marginsAdded(titleBar);
    frame.moveCenter(anchor ? anchor->frameGeometry().center() : available.center());
    frame = inside(frame, available);
    window->setGeometry(frame.marginsRemoved(titleBar));
}

QRect WindowGeometry::inside(const QRect& frame, const QRect& available)
{
    if (available.isEmpty())
        return frame;
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(), available.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), available.top(), available.bottom() - fitted.height() + 1));
    return fitted;
}

WindowGeometry::WindowGeometry(QWidget* window, const char* key, QSize defaultSize)
    : QObject(window), window_(window), key_(key), defaultSize_(defaultSize)
{
    setObjectName(QStringLiteral("windowGeometry"));
    restore();
    window_->installEventFilter(this);
}

void WindowGeometry::restore()
{
    const platform::StringSetting setting{key_, ""};
    const QByteArray saved = QByteArray::fromBase64(platform::Settings().value(setting).toLatin1());
    if (saved.isEmpty() || !window_->restoreGeometry(saved)) {
        const QRect available = availableArea(window_);
        QRect frame(QPoint(), defaultSize_);
        if (!available.isEmpty())
            frame.moveCenter(available.center());
        window_->setGeometry(frame);
    }
    keepOnScreen();
}

void WindowGeometry::keepOnScreen()
{
    const QRect available = availableArea(window_);
    if (available.isEmpty())
        return;
    // The frame the window manager adds is known once the window is shown;
    // before, a title bar's worth is kept free.
    const QRect frame = window_->frameGeometry();
    const QRect client = window_->geometry();
    QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                     frame.bottom() - client.bottom());
    if (!window_->isVisible() || margins.isNull())
        margins = QMargins(0, 32, 0, 0);
    const QRect fitted = inside(client.marginsAdded(margins), available).marginsRemoved(margins);
    const QSize size = fitted.size().expandedTo(window_->minimumSize());
    if (fitted.topLeft() != client.topLeft() || size != client.size())
        window_->setGeometry(QRect(fitted.topLeft(), size));
}

void WindowGeometry::save()
{
    const platform::StringSetting setting{key_, ""};
    platform::Settings().setValue(setting, QString::fromLatin1(window_->saveGeometry().toBase64()));
}

bool WindowGeometry::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::Show: keepOnScreen(); break;
        case QEvent::Hide:
        case QEvent::Close: save(); break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kelvane::ui
