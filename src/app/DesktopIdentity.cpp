// SPDX-License-Identifier: MIT
#include "app/DesktopIdentity.h"

#include <QGuiApplication>
#include <QString>

static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace kelvane::app {

QIcon applicationIcon()
{
    initIconResources();
    // The PNG renderings of the theme's SVG: each size drawn as installed,
    // with no image plugin needed; Qt scales them for other sizes.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/kelvane-%1.png").arg(size), QSize(size, size));
    return icon;
}

void applyDesktopIdentity()
{
    QGuiApplication::setDesktopFileName(QString::fromLatin1(desktopId));
    QGuiApplication::setWindowIcon(applicationIcon());
}

}  // namespace kelvane::app
