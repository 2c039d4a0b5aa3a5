#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

class QLabel;
class QPainter;
class QRectF;

namespace kelvane::ui {

// Small drawn symbols of the bulk-run controls: drawn rather than taken from
// an icon theme, so they look the same on every desktop and in any colour.
enum class Symbol {
    checkmarkCircle,  // finished cleanly
    pauseCircle,      // cancelled
    warningTriangle,  // failures, files over 2 GB
    sparkles,         // a very large saving
    star,             // a large saving
    checkmarkSeal,    // a saving
    shield,           // the safety note
    moon,             // sleep held off
    arrowDownCircle,  // the current reduction
    compress,         // arrows pointing inward
    decompress,       // arrows pointing outward
    checkCircle,      // select all
    xmarkCircle,      // clear the selection
    clock,            // elapsed time
    hourglass,        // time left
    speedometer,      // speed
    columns,          // files in flight
    tray,             // bytes processed
    chip,             // memory in use
    chipFilled,       // memory free
};

void paintSymbol(QPainter& painter, const QRectF& box, Symbol symbol, const QColor& color);
QPixmap symbolPixmap(Symbol symbol, const QColor& color, int side, qreal devicePixelRatio = 1.0);
// `disabled`: the colour of the disabled state, when the default greying of
// `color` would not show (white on a disabled button).
QIcon symbolIcon(Symbol symbol, const QColor& color, const QColor& disabled = QColor());

}  // namespace kelvane::ui

namespace kelvane::ui {

// A label showing only the symbol, `side` pixels square.
QLabel* symbolLabel(Symbol symbol, const QColor& color, int side);

}  // namespace kelvane::ui
