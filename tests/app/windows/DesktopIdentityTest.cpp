// SPDX-License-Identifier: MIT
// The running application names the desktop entry that is installed, and its
// windows carry the icon the icon theme gets, at every installed size.

#include "app/DesktopIdentity.h"


#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QWidget>

#include <filesystem>

namespace kelvane::app {
namespace {

TEST(DesktopIdentityTest, TheDesktopEntryAndTheWindowIconAreTheInstalledOnes)
{
    kelvane::test::widgetApplication();
    applyDesktopIdentity();

    const std::filesystem::path entry =
        std::filesystem::path(KELVANE_SOURCE_DIR) / "packaging" / (QGuiApplication::desktopFileName().toStdString() + ".desktop");
    EXPECT_TRUE(std::filesystem::exists(entry)) << entry;

    // Each size is drawn from its own PNG, pixel for pixel the installed file.
    const QIcon icon = QGuiApplication::windowIcon();
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage drawn = icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage installed = QImage(QString::fromStdString(
            (std::filesystem::path(KELVANE_SOURCE_DIR) / "resources/icons" / ("kelvane-" + std::to_string(size) + ".png"))
                .string())).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(installed.isNull()) << size;
        EXPECT_EQ(drawn, installed) << size;
    }

    // A window that sets no icon of its own shows the application's.
    QWidget window;
    EXPECT_EQ(window.windowIcon().cacheKey(), icon.cacheKey());
}

}  // namespace
}  // namespace kelvane::app
