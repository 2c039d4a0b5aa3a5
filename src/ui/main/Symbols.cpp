#include "ui/main/Symbols.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace kelvane::ui {

namespace {

// Everything is drawn in a 24 x 24 design box scaled into `box`.
QPainterPath checkPath(qreal x, qreal y, qreal s)
{
    QPainterPath p;
    p.moveTo(x + 0.28 * s, y + 0.52 * s);
    p.lineTo(x + 0.44 * s, y + 0.68 * s);
    p.lineTo(x + 0.74 * s, y + 0.36 * s);
    return p;
}

QPainterPath polygon(std::initializer_list<QPointF> corners)
{
    QPolygonF shape;
    for (const QPointF& corner : corners)
        shape << corner;
    QPainterPath path;
    path.addPolygon(shape);
    path.closeSubpath();
    return path;
}

QPainterPath starPath(QPointF centre, qreal outer, qreal inner, int points)
{
    QPainterPath p;
    for (int i = 0; i < points * 2; ++i) {
        const qreal r = i % 2 == 0 ? outer : inner;
        const qreal a = -std::numbers::pi / 2 + i * std::numbers::pi / points;
        const QPointF at(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0)
            p.moveTo(at);
        else
            p.lineTo(at);
    }
    p.closeSubpath();
    return p;
}

// Two short arrows along the diagonal, both pointing to the centre
// (`inward`) or both away from it.
void paintArrows(QPainter& painter, qreal s, bool inward)
{
    const qreal a = 0.2 * s, b = 0.44 * s, c = 0.56 * s, d = 0.8 * s, head = 0.16 * s;
    auto arrow = [&](QPointF from, QPointF to) {
        painter.drawLine(from, to);
        const QPointF dir = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
        const QPointF normal(-dir.y(), dir.x());
        painter.drawLine(to, to - dir * head + normal * head);
        painter.drawLine(to, to - dir * head - normal * head);
    };
    if (inward) {
        arrow({a, d}, {b, c});
        arrow({d, a}, {c, b});
    } else {
        arrow({b, c}, {a, d});
        arrow({c, b}, {d, a});
    }
}

}  // namespace

void paintSymbol(QPainter& painter, const QRectF& box, Symbol symbol, const QColor& color)
{
    const qreal s = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.x() + (box.width() - s) / 2, box.y() + (box.height() - s) / 2);
    QPen line(color, std::max<qreal>(1.2, s * 0.09), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPen onFill(Qt::white, std::max<qreal>(1.2, s * 0.1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QRectF circle(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    QPainterPath disc;
    disc.addEllipse(circle);
    // A shape filled with the colour; what is drawn after it is white on it.
    const auto filled = [&](const QPainterPath& shape) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(shape);
        painter.setPen(onFill);
        painter.setBrush(Qt::NoBrush);
    };
    const auto at = [s](qreal x, qreal y) { return QPointF(s * x, s * y); };
    switch (symbol) {
    case Symbol::checkmarkCircle:
        filled(disc);
        painter.drawPath(checkPath(0, 0, s));
        break;
    case Symbol::checkmarkSeal:
        filled(starPath({s / 2, s / 2}, s * 0.48, s * 0.4, 12));
        painter.drawPath(checkPath(0, 0, s));
        break;
    case Symbol::pauseCircle:
        filled(disc);
        painter.drawLines(QList<QLineF>{{at(0.4, 0.32), at(0.4, 0.68)}, {at(0.6, 0.32), at(0.6, 0.68)}});
        break;
    case Symbol::warningTriangle:
        filled(polygon({at(0.5, 0.02), at(0.98, 0.92), at(0.02, 0.92)}));
        painter.drawLine(at(0.5, 0.34), at(0.5, 0.6));
        painter.drawPoint(at(0.5, 0.76));
        break;
    case Symbol::sparkles: {
        QPainterPath both = starPath(at(0.42, 0.56), s * 0.4, s * 0.1, 4);
        both.addPath(starPath(at(0.8, 0.2), s * 0.18, s * 0.05, 4));
        filled(both);
        break;
    }
    case Symbol::star:
        filled(starPath(at(0.5, 0.54), s * 0.48, s * 0.2, 5));
        break;
    case Symbol::shield: {
        QPainterPath p;
        p.moveTo(at(0.5, 0.04));
        p.lineTo(at(0.88, 0.18));
        p.cubicTo(at(0.88, 0.6), at(0.7, 0.82), at(0.5, 0.96));
        p.cubicTo(at(0.3, 0.82), at(0.12, 0.6), at(0.12, 0.18));
        p.closeSubpath();
        filled(p);
        painter.drawPath(checkPath(0, 0, s));
        break;
    }
    case Symbol::moon: {
        QPainterPath full;
        full.addEllipse(QRectF(s * 0.1, s * 0.12, s * 0.76, s * 0.76));
        QPainterPath bite;
        bite.addEllipse(QRectF(s * 0.34, s * 0.02, s * 0.66, s * 0.66));
        filled(full.subtracted(bite));
        break;
    }
    case Symbol::arrowDownCircle:
        filled(disc);
        painter.drawLines(QList<QLineF>{{at(0.5, 0.26), at(0.5, 0.72)},
                                        {at(0.5, 0.72), at(0.32, 0.54)},
                                        {at(0.5, 0.72), at(0.68, 0.54)}});
        break;
    case Symbol::compress:
    case Symbol::decompress:
        painter.setPen(line);
        paintArrows(painter, s, symbol == Symbol::compress);
        break;
    case Symbol::checkCircle:
    case Symbol::xmarkCircle:
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(circle.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04));
        if (symbol == Symbol::checkCircle)
            painter.drawPath(checkPath(0, 0, s));
        else
            painter.drawLines(QList<QLineF>{{at(0.36, 0.36), at(0.64, 0.64)}, {at(0.64, 0.36), at(0.36, 0.64)}});
        break;
    case Symbol::clock:
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(circle.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04));
        painter.drawLines(QList<QLineF>{{at(0.5, 0.5), at(0.5, 0.26)}, {at(0.5, 0.5), at(0.68, 0.6)}});
        break;
    case Symbol::hourglass:
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(
            polygon({at(0.22, 0.1), at(0.78, 0.1), at(0.5, 0.5), at(0.78, 0.9), at(0.22, 0.9), at(0.5, 0.5)}));
        break;
    case Symbol::speedometer:
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(s * 0.1, s * 0.2, s * 0.8, s * 0.8), 0, 180 * 16);
        painter.drawLine(at(0.5, 0.6), at(0.72, 0.36));
        break;
    case Symbol::columns:
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(s * 0.08, s * 0.22, s * 0.84, s * 0.56), s * 0.08, s * 0.08);
        painter.drawLines(QList<QLineF>{{at(0.36, 0.22), at(0.36, 0.78)}, {at(0.64, 0.22), at(0.64, 0.78)}});
        break;
    case Symbol::tray:
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(polygon(
            {at(0.08, 0.55), at(0.22, 0.2), at(0.78, 0.2), at(0.92, 0.55), at(0.92, 0.84), at(0.08, 0.84)}));
        painter.drawLine(at(0.3, 0.4), at(0.7, 0.4));
        break;
    case Symbol::chip:
    case Symbol::chipFilled: {
        painter.setPen(line);
        painter.setBrush(symbol == Symbol::chipFilled ? QBrush(color) : QBrush(Qt::NoBrush));
        painter.drawRect(QRectF(s * 0.24, s * 0.24, s * 0.52, s * 0.52));
        QList<QLineF> pins;
        for (qreal x : {0.36, 0.5, 0.64}) {
            pins.append({at(x, 0.06), at(x, 0.2)});
            pins.append({at(x, 0.8), at(x, 0.94)});
            pins.append({at(0.06, x), at(0.2, x)});
            pins.append({at(0.8, x), at(0.94, x)});
        }
        painter.drawLines(pins);
        break;
    }
    }
    painter.restore();
}

QPixmap symbolPixmap(Symbol symbol, const QColor& color, int side, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(side, side) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintSymbol(painter, QRectF(0, 0, side, side), symbol, color);
    return pixmap;
}

QIcon symbolIcon(Symbol symbol, const QColor& color, const QColor& disabled)
{
    QIcon icon;
    for (int side : {16, 24, 32}) {
        icon.addPixmap(symbolPixmap(symbol, color, side));
        if (disabled.isValid())
            icon.addPixmap(symbolPixmap(symbol, disabled, side), QIcon::Disabled);
    }
    return icon;
}

QLabel* symbolLabel(Symbol symbol, const QColor& color, int side)
{
    auto* label = new QLabel;
    label->setPixmap(symbolPixmap(symbol, color, side, 2.0));
    label->setFixedSize(side, side);
    return label;
}

}  // namespace kelvane::ui
