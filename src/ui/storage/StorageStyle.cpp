#include "ui/storage/StorageStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace kelvane::ui {
namespace storage_style {

QColor accent(const QWidget* widget)
{
    return widget ? widget->palette().color(QPalette::Highlight) : QColor(0x1e, 0x6f, 0xd9);
}

QColor secondary(const QWidget* widget)
{
    QColor color = widget ? widget->palette().color(QPalette::WindowText) : QColor(Qt::black);
    color.setAlphaF(0.55f);
    return color;
}

QColor green() { return QColor(0x28, 0xa7, 0x45); }
QColor orange() { return QColor(0xf5, 0x8a, 0x00); }
QColor red() { return QColor(0xe5, 0x39, 0x35); }

QColor tintColor(volumes::CompressionAvailabilityVerdict::Tint tint, const QWidget* widget)
{
    switch (tint) {
    case volumes::CompressionAvailabilityVerdict::Tint::green: return green();
    case volumes::CompressionAvailabilityVerdict::Tint::red: return red();
    case volumes::CompressionAvailabilityVerdict::Tint::secondary: break;
    }
    return secondary(widget);
}

QFont font(TextStyle style, const QFont& base)
{
    QFont f = base;
    const qreal size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    auto set = [&](qreal scale, QFont::Weight weight) {
        f.setPointSizeF(size * scale);
        f.setWeight(weight);
    };
    switch (style) {
    case TextStyle::title2: set(1.55, QFont::Bold); break;
    case TextStyle::title3: set(1.35, QFont::DemiBold); break;
    case TextStyle::headline: set(1.05, QFont::Bold); break;
    case TextStyle::subheadline: set(1.0, QFont::Normal); break;
    case TextStyle::body: set(1.0, QFont::Normal); break;
    case TextStyle::callout: set(0.95, QFont::Normal); break;
    case TextStyle::caption: set(0.85, QFont::Normal); break;
    case TextStyle::caption2: set(0.78, QFont::Normal); break;
    }
    return f;
}

namespace {

// Shapes are laid out on a 24 by 24 grid.
void drawCircleMark(QPainter& p, const QColor& color, bool filled, const QPainterPath& mark)
{
    if (filled) {
        QPainterPath disc;
        disc.addEllipse(QRectF(2, 2, 20, 20));
        p.fillPath(disc.subtracted(QPainterPathStroker(QPen(Qt::black, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin))
                                       .createStroke(mark)),
                   color);
    } else {
        p.setPen(QPen(color, 1.8));
        p.drawEllipse(QRectF(3, 3, 18, 18));
        p.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(mark);
    }
}

QPainterPath check()
{
    QPainterPath path;
    path.moveTo(7.5, 12.5);
    path.lineTo(10.8, 15.8);
    path.lineTo(16.5, 8.5);
    return path;
}

QPainterPath cross()
{
    QPainterPath path;
    path.moveTo(8.5, 8.5);
    path.lineTo(15.5, 15.5);
    path.moveTo(15.5, 8.5);
    path.lineTo(8.5, 15.5);
    return path;
}

QPainterPath minus()
{
    QPainterPath path;
    path.moveTo(8, 12);
    path.lineTo(16, 12);
    return path;
}

void drawLock(QPainter& p, const QColor& color, bool open)
{
    p.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    shackle.moveTo(8, 11);
    shackle.lineTo(8, 8);
    shackle.arcTo(QRectF(8, 3.5, 8, 9), 180, -180);
    if (!open)
        shackle.lineTo(16, 11);
    p.drawPath(open ? shackle.translated(3, -1.5) : shackle);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(5.5, 10.5, 13, 10.5), 2, 2);
}

void drawDrive(QPainter& p, const QColor& color, bool filled, bool external)
{
    const QRectF body = external ? QRectF(3, 7, 18, 11) : QRectF(2.5, 8, 19, 9);
    if (filled) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(body, 3, 3);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(body.right() - 3.5, body.center().y()), 1.2, 1.2);
    } else {
        p.setPen(QPen(color, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body, 3, 3);
        p.setBrush(color);
        p.drawEllipse(QPointF(body.right() - 3.5, body.center().y()), 1.1, 1.1);
    }
    if (external) {
        p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 18), QPointF(12, 21.5));
    }
}

void drawTriangle(QPainter& p, const QColor& color, bool filled)
{
    QPainterPath triangle;
    triangle.moveTo(12, 3);
    triangle.lineTo(22, 20.5);
    triangle.lineTo(2, 20.5);
    triangle.closeSubpath();
    QPainterPath bang;
    bang.moveTo(12, 9);
    bang.lineTo(12, 14);
    if (filled) {
        QPainterPathStroker stroker(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
        QPainterPath dot;
        dot.addEllipse(QPointF(12, 17.4), 1.2, 1.2);
        p.fillPath(triangle.subtracted(stroker.createStroke(bang)).subtracted(dot), color);
    } else {
        p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(triangle);
        p.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(bang);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(12, 17.4), 1.2, 1.2);
    }
}

void drawSymbol(QPainter& p, const QString& name, const QColor& color)
{
    if (name == QLatin1String("checkmark.circle.fill"))
        return drawCircleMark(p, color, true, check());
    if (name == QLatin1String("xmark.circle.fill"))
        return drawCircleMark(p, color, true, cross());
    if (name == QLatin1String("xmark.circle"))
        return drawCircleMark(p, color, false, cross());
    if (name == QLatin1String("minus.circle"))
        return drawCircleMark(p, color, false, minus());
    if (name == QLatin1String("circle"))
        return drawCircleMark(p, color, false, QPainterPath());
    if (name == QLatin1String("checkmark.seal.fill")) {
        QPainterPath seal;
        for (int i = 0; i < 24; ++i) {
            const qreal radius = i % 2 == 0 ? 10.5 : 8.8;
            const qreal angle = i * M_PI / 12;
            const QPointF point(12 + radius * std::cos(angle), 12 + radius * std::sin(angle));
            i == 0 ? seal.moveTo(point) : seal.lineTo(point);
        }
        seal.closeSubpath();
        p.fillPath(seal.subtracted(QPainterPathStroker(QPen(Qt::black, 2.4, Qt::SolidLine, Qt::RoundCap)).createStroke(check())),
                   color);
        return;
    }
    if (name == QLatin1String("info.circle")) {
        p.setPen(QPen(color, 1.6));
        p.drawEllipse(QRectF(3, 3, 18, 18));
        p.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 11), QPointF(12, 16.5));
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(12, 7.6), 1.3, 1.3);
        return;
    }
    if (name == QLatin1String("lock.fill"))
        return drawLock(p, color, false);
    if (name == QLatin1String("lock.open.fill"))
        return drawLock(p, color, true);
    if (name == QLatin1String("internaldrive.fill"))
        return drawDrive(p, color, true, false);
    if (name == QLatin1String("internaldrive"))
        return drawDrive(p, color, false, false);
    if (name == QLatin1String("externaldrive.fill") || name == QLatin1String("externaldrive.connected.to.line.below.fill"))
        return drawDrive(p, color, true, true);
    if (name == QLatin1String("exclamationmark.triangle.fill"))
        return drawTriangle(p, color, true);
    if (name == QLatin1String("exclamationmark.triangle"))
        return drawTriangle(p, color, false);
    if (name == QLatin1String("house.fill")) {
        QPainterPath house;
        house.moveTo(12, 3);
        house.lineTo(22, 12);
        house.lineTo(19, 12);
        house.lineTo(19, 21);
        house.lineTo(5, 21);
        house.lineTo(5, 12);
        house.lineTo(2, 12);
        house.closeSubpath();
        QPainterPath door;
        door.addRect(QRectF(10, 15, 4, 6));
        p.fillPath(house.subtracted(door), color);
        return;
    }
    if (name == QLatin1String("chart.bar.fill")) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(3, 13, 4.5, 8), 1, 1);
        p.drawRoundedRect(QRectF(9.75, 8, 4.5, 13), 1, 1);
        p.drawRoundedRect(QRectF(16.5, 3, 4.5, 18), 1, 1);
        return;
    }
    if (name == QLatin1String("cpu.fill")) {
        p.setPen(QPen(color, 1.6));
        for (int i = 0; i < 3; ++i) {
            const qreal at = 8 + i * 4;
            p.drawLine(QPointF(at, 2.5), QPointF(at, 6));
            p.drawLine(QPointF(at, 18), QPointF(at, 21.5));
            p.drawLine(QPointF(2.5, at), QPointF(6, at));
            p.drawLine(QPointF(18, at), QPointF(21.5, at));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(6, 6, 12, 12), 2, 2);
        return;
    }
    if (name == QLatin1String("doc.on.doc.fill")) {
        p.setPen(Qt::NoPen);
        p.setBrush(color.lighter(140));
        p.drawRoundedRect(QRectF(8, 2.5, 12, 15), 2, 2);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(4, 6.5, 12, 15), 2, 2);
        return;
    }
    if (name == QLatin1String("shippingbox.and.arrow.backward.fill")) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(7, 6, 15, 14), 2, 2);
        p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(1.5, 13), QPointF(5.5, 13));
        p.drawLine(QPointF(1.5, 13), QPointF(3.5, 11));
        p.drawLine(QPointF(1.5, 13), QPointF(3.5, 15));
        return;
    }
    if (name == QLatin1String("arrow.clockwise")) {
        p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 300 * 16);
        p.drawLine(QPointF(16, 5), QPointF(19.5, 5.5));
        p.drawLine(QPointF(16, 5), QPointF(16.5, 1.8));
        return;
    }
    p.setPen(QPen(color, 1.8));
    p.drawEllipse(QRectF(3, 3, 18, 18));
}

}  // namespace

QPixmap symbolPixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    drawSymbol(p, name, color);
    return pixmap;
}

}  // namespace storage_style

SymbolView::SymbolView(const QString& symbol, const QColor& color, int size, QWidget* parent)
    : QWidget(parent), symbol_(symbol), color_(color), size_(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolView::sizeHint() const
{
    return {size_, size_};
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPixmap pixmap = storage_style::symbolPixmap(symbol_, color_, size_, devicePixelRatioF());
    p.drawPixmap(QPointF((width() - size_) / 2.0, (height() - size_) / 2.0), pixmap);
}

}  // namespace kelvane::ui
