// SPDX-License-Identifier: MIT
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace kelvane::test {

// The item named `objectName` in any of the window's menus, or nullptr. Items
// are found by name, never by their title, which is the user's to read.
inline QAction* menuItem(const QMainWindow& window, const QString& objectName)
{
    for (QAction* menu : window.menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (action->objectName() == objectName)
                return action;
    return nullptr;
}

}  // namespace kelvane::test
