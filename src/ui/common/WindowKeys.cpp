// SPDX-License-Identifier: MIT
#include "ui/common/WindowKeys.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

namespace kelvane::ui {

QuitRequest& QuitRequest::shared()
{
    static QuitRequest* request = new QuitRequest;
    return *request;
}

namespace {

QAction* addKey(QWidget* window, const char* name, const QKeySequence& key)
{
    auto* action = new QAction(window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}

}  // namespace

void installWindowKeys(QWidget* window, EscapeKey escape, QuitKey quit)
{
    QObject::connect(addKey(window, "closeWindowKey", QKeySequence(Qt::CTRL | Qt::Key_W)), &QAction::triggered,
                     window, &QWidget::close);
    if (escape == EscapeKey::closes)
        QObject::connect(addKey(window, "escapeKey", QKeySequence(Qt::Key_Escape)), &QAction::triggered, window,
                         &QWidget::close);
    if (quit == QuitKey::added)
        QObject::connect(addKey(window, "quitKey", QKeySequence(Qt::CTRL | Qt::Key_Q)), &QAction::triggered,
                         &QuitRequest::shared(), &QuitRequest::request);
}

}  // namespace kelvane::ui
