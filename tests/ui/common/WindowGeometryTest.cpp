// SPDX-License-Identifier: MIT
#include "ui/common/WindowGeometry.h"

#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QWidget>

namespace kelvane::ui {
namespace {

// A new window opens over the window it came from, and wholly on the
// screen even when that window sits at an edge.
TEST(WindowGeometry, ANewWindowOpensCentredOnItsParentAndInsideTheScreen)
{
    test::widgetApplication();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget parent;
    parent.setGeometry(QRect(screen.topLeft() + QPoint(40, 60), QSize(screen.width() / 2, screen.height() / 2)));
    parent.show();
    QWidget window(nullptr, Qt::Window);
    window.setFixedSize(screen.width() / 4, screen.height() / 4);

    WindowGeometry::centreOn(&window, &parent);
    EXPECT_LE((window.geometry().center() - QPoint(0, 16) - parent.frameGeometry().center()).manhattanLength(), 2)
        << window.geometry().x() << "," << window.geometry().y();
    EXPECT_EQ(window.size(), QSize(screen.width() / 4, screen.height() / 4));

    // The parent pushed into the bottom right corner: the window stays on
    // screen, its title bar too.
    parent.move(screen.bottomRight() - QPoint(parent.width() / 4, parent.height() / 4));
    WindowGeometry::centreOn(&window, &parent);
    EXPECT_TRUE(screen.contains(window.geometry().adjusted(0, -32, 0, 0))) << window.geometry().x() << ","
                                                                           << window.geometry().y();

    // No parent on screen: the middle of the screen.
    parent.hide();
    WindowGeometry::centreOn(&window, &parent);
    EXPECT_LE((window.geometry().center() - QPoint(0, 16) - screen.center()).manhattanLength(), 2);
}

}  // namespace
}  // namespace kelvane::ui
