// SPDX-License-Identifier: MIT
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace kelvane::test {

// The item titled `title` in any of the window's menus, or nullptr.
inline QAction* menuItem(const QMainWindow& window, const QString& title)
{
    for (QAction* menu : window.menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (action->text() == title)
                return action;
    return nullptr;
}

}  // namespace kelvane::test
