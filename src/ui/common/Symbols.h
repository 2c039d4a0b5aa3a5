// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QStringList>
#include <QStringView>

class QLabel;
class QPainter;
class QRectF;

namespace kelvane::ui {

// Every symbol the windows show, by one name each ("doc.text.magnifyingglass",
// "exclamationmark.triangle.fill"). Each name has the freedesktop icon that
// stands for it and a drawing of its own, used where the desktop's theme has
// no such icon and wherever the symbol is shown in a colour of its own.
// An unknown name gives a null icon and an empty picture, and is logged.

bool isKnownSymbol(QStringView name);
QStringList knownSymbols();
// The freedesktop icon name of the symbol ("edit-find"); empty when unknown.
QString symbolThemeName(QStringView name);

// In the desktop's look: the theme's icon, else the drawing in the
// palette's text colour.
QIcon symbolIcon(QStringView name);
// The drawing in `color`; `disabled`: the colour of the disabled state, when
// the default greying of `color` would not show (white on a filled button).
QIcon symbolIcon(QStringView name, const QColor& color, const QColor& disabled = QColor());

void paintSymbol(QPainter& painter, const QRectF& box, QStringView name, const QColor& color);
QPixmap symbolPixmap(QStringView name, const QColor& color, int side, qreal devicePixelRatio = 1.0);
// The document symbol beside a file's name in a table, in the accent colour.
QIcon fileNameIcon();
// A label showing only the drawing, `side` pixels square.
QLabel* symbolLabel(QStringView name, const QColor& color, int side);

}  // namespace kelvane::ui
