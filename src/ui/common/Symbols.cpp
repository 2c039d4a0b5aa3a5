// SPDX-License-Identifier: MIT
#include "ui/common/Symbols.h"

#include <QApplication>
#include <QDebug>
#include <QFont>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QSet>

#include <array>
#include <cmath>
#include <numbers>

namespace kelvane::ui {

namespace {

// The drawings, on a 24 x 24 grid. A filled variant cuts its marks out of the
// shape, so it reads on any background.
enum class Shape {
    circle, circleDotted, checkCircle, xCircle, minusCircle, plusCircle, pauseCircle, arrowDownCircle,
    infoCircle, questionCircle, filterCircle, nosign, seal, shield, triangle, lock, lockOpen, drive,
    externalDrive, driveCheck, house, chartBar, chip, docs, doc, docText, docSearch, docArrowUp, box,
    boxArrowBack, gift, clockwise, circlePath, swap, arrowRight, arrowsIn, arrowsOut, compressVertical,
    appBadge, appArrow, books, checklist, clock, clockArrow, clockX, envelope, bubbleBang, bubbleQuestion,
    cloudDown, cloudSlash, cloudBang, folder, function, gear, globe, hammer, hourglass, phone, phones,
    lightbulb, link, listBullet, listRectangle, magnifier, moon, musicNote, person, plus, columns, ruler,
    sparkles, sparklesStack, speedometer, shareUp, star, tag, terminal, tray, trayFull, trash, wand, eye,
    bell, chevronLeft,
};

struct Entry {
    const char* name;
    const char* theme;  // freedesktop icon name
    Shape shape;
    bool filled;
};

// Theme names are the standard freedesktop icon names where there is one,
// else the name the common themes (Adwaita, Breeze) give the same picture.
constexpr std::array entries{
    Entry{"app.badge", "application-x-executable", Shape::appBadge, false},
    Entry{"archivebox", "package-x-generic", Shape::box, false},
    Entry{"archivebox.fill", "package-x-generic", Shape::box, true},
    Entry{"arrow.clockwise", "view-refresh", Shape::clockwise, false},
    Entry{"arrow.down.circle.fill", "folder-download", Shape::arrowDownCircle, true},
    Entry{"arrow.down.right.and.arrow.up.left", "view-restore", Shape::arrowsIn, false},
    Entry{"arrow.right", "go-next", Shape::arrowRight, false},
    Entry{"arrow.triangle.2.circlepath", "view-refresh", Shape::circlePath, false},
    Entry{"arrow.triangle.swap", "object-flip-horizontal", Shape::swap, false},
    Entry{"arrow.up.doc.fill", "document-send", Shape::docArrowUp, true},
    Entry{"arrow.up.forward.app", "document-open", Shape::appArrow, false},
    Entry{"arrow.up.left.and.arrow.down.right", "view-fullscreen", Shape::arrowsOut, false},
    Entry{"bell", "preferences-system-notifications", Shape::bell, false},
    Entry{"books.vertical.fill", "accessories-dictionary", Shape::books, true},
    Entry{"chart.bar", "utilities-system-monitor", Shape::chartBar, false},
    Entry{"chart.bar.fill", "utilities-system-monitor", Shape::chartBar, true},
    Entry{"checklist", "view-list-bullet", Shape::checklist, false},
    Entry{"checkmark.circle", "emblem-ok", Shape::checkCircle, false},
    Entry{"checkmark.circle.fill", "emblem-default", Shape::checkCircle, true},
    Entry{"checkmark.seal.fill", "emblem-default", Shape::seal, true},
    Entry{"checkmark.shield.fill", "security-high", Shape::shield, true},
    Entry{"chevron.left", "go-previous", Shape::chevronLeft, false},
    Entry{"circle", "media-record", Shape::circle, false},
    Entry{"circle.dotted", "content-loading", Shape::circleDotted, false},
    Entry{"clock", "appointment-soon", Shape::clock, false},
    Entry{"clock.arrow.circlepath", "document-open-recent", Shape::clockArrow, false},
    Entry{"clock.badge.xmark", "appointment-missed", Shape::clockX, false},
    Entry{"cpu.fill", "computer", Shape::chip, true},
    Entry{"doc.fill", "text-x-generic", Shape::doc, true},
    Entry{"doc.on.doc", "edit-copy", Shape::docs, false},
    Entry{"doc.on.doc.fill", "edit-copy", Shape::docs, true},
    Entry{"doc.text", "text-x-generic", Shape::docText, false},
    Entry{"doc.text.fill", "text-x-generic", Shape::docText, true},
    Entry{"doc.text.magnifyingglass", "system-search", Shape::docSearch, false},
    Entry{"envelope.fill", "mail-message-new", Shape::envelope, true},
    Entry{"exclamationmark.bubble.fill", "dialog-warning", Shape::bubbleBang, true},
    Entry{"exclamationmark.icloud.fill", "folder-remote", Shape::cloudBang, true},
    Entry{"exclamationmark.triangle", "dialog-warning", Shape::triangle, false},
    Entry{"exclamationmark.triangle.fill", "dialog-warning", Shape::triangle, true},
    Entry{"externaldrive.connected.to.line.below.fill", "network-server", Shape::externalDrive, true},
    Entry{"externaldrive.fill", "drive-removable-media", Shape::externalDrive, true},
    Entry{"eye", "view-reveal", Shape::eye, false},
    Entry{"folder", "folder", Shape::folder, false},
    Entry{"folder.fill", "folder", Shape::folder, true},
    Entry{"function", "accessories-calculator", Shape::function, false},
    Entry{"gearshape.2.fill", "preferences-system", Shape::gear, true},
    Entry{"gift.fill", "package-x-generic", Shape::gift, true},
    Entry{"globe", "web-browser", Shape::globe, false},
    Entry{"hammer.fill", "applications-engineering", Shape::hammer, true},
    Entry{"hourglass", "content-loading", Shape::hourglass, false},
    Entry{"house.fill", "user-home", Shape::house, true},
    Entry{"icloud.and.arrow.down", "folder-remote", Shape::cloudDown, false},
    Entry{"icloud.slash.fill", "network-offline", Shape::cloudSlash, true},
    Entry{"info.circle", "help-about", Shape::infoCircle, false},
    Entry{"internaldrive", "drive-harddisk", Shape::drive, false},
    Entry{"internaldrive.badge.checkmark", "drive-harddisk-system", Shape::driveCheck, false},
    Entry{"internaldrive.fill", "drive-harddisk", Shape::drive, true},
    Entry{"ipad.and.iphone", "phone", Shape::phones, false},
    Entry{"iphone", "phone", Shape::phone, false},
    Entry{"iphone.gen3", "phone", Shape::phone, false},
    Entry{"lightbulb.fill", "dialog-information", Shape::lightbulb, true},
    Entry{"line.3.horizontal.decrease.circle", "edit-clear-all", Shape::filterCircle, false},
    Entry{"link", "insert-link", Shape::link, false},
    Entry{"list.bullet", "view-list-bullet", Shape::listBullet, false},
    Entry{"list.bullet.rectangle", "view-list", Shape::listRectangle, false},
    Entry{"lock.fill", "changes-prevent", Shape::lock, true},
    Entry{"lock.open.fill", "changes-allow", Shape::lockOpen, true},
    Entry{"magnifyingglass", "edit-find", Shape::magnifier, false},
    Entry{"memorychip", "media-flash", Shape::chip, false},
    Entry{"memorychip.fill", "media-flash", Shape::chip, true},
    Entry{"minus.circle", "list-remove", Shape::minusCircle, false},
    Entry{"moon.zzz", "weather-clear-night", Shape::moon, true},
    Entry{"music.note", "audio-x-generic", Shape::musicNote, true},
    Entry{"nosign", "action-unavailable", Shape::nosign, false},
    Entry{"pause.circle.fill", "media-playback-pause", Shape::pauseCircle, true},
    Entry{"person.fill", "avatar-default", Shape::person, true},
    Entry{"plus", "list-add", Shape::plus, false},
    Entry{"plus.circle.fill", "list-add", Shape::plusCircle, true},
    Entry{"questionmark.bubble", "help-faq", Shape::bubbleQuestion, false},
    Entry{"questionmark.bubble.fill", "help-faq", Shape::bubbleQuestion, true},
    Entry{"questionmark.circle", "help-contents", Shape::questionCircle, false},
    Entry{"rectangle.compress.vertical", "package-x-generic", Shape::compressVertical, false},
    Entry{"rectangle.split.3x1", "view-column", Shape::columns, false},
    Entry{"ruler", "zoom-fit-best", Shape::ruler, false},
    Entry{"shippingbox.and.arrow.backward.fill", "package-x-generic", Shape::boxArrowBack, true},
    Entry{"shippingbox.fill", "package-x-generic", Shape::box, true},
    Entry{"sparkles", "starred", Shape::sparkles, true},
    Entry{"sparkles.rectangle.stack.fill", "starred", Shape::sparklesStack, true},
    Entry{"speedometer", "power-profile-performance", Shape::speedometer, false},
    Entry{"square.and.arrow.up", "document-send", Shape::shareUp, false},
    Entry{"star", "non-starred", Shape::star, false},
    Entry{"star.fill", "starred", Shape::star, true},
    Entry{"tag.fill", "tag", Shape::tag, true},
    Entry{"terminal", "utilities-terminal", Shape::terminal, false},
    Entry{"tray", "mail-inbox", Shape::tray, false},
    Entry{"tray.full", "mail-inbox", Shape::trayFull, false},
    Entry{"tray.full.fill", "mail-inbox", Shape::trayFull, true},
    Entry{"trash", "user-trash", Shape::trash, false},
    Entry{"wand.and.stars", "tools-wizard", Shape::wand, false},
    Entry{"xmark.circle", "edit-clear", Shape::xCircle, false},
    Entry{"xmark.circle.fill", "dialog-error", Shape::xCircle, true},
};

const Entry* find(QStringView name)
{
    static const QHash<QString, const Entry*> byName = [] {
        QHash<QString, const Entry*> map;
        for (const Entry& e : entries)
            map.insert(QString::fromLatin1(e.name), &e);
        return map;
    }();
    const auto it = byName.constFind(name.toString());
    if (it != byName.constEnd())
        return *it;
    static QSet<QString> warned;
    if (!warned.contains(name.toString())) {
        warned.insert(name.toString());
        qWarning("unknown symbol %s", qPrintable(name.toString()));
    }
    return nullptr;
}

// Without a desktop session Qt knows no theme; the freedesktop default
// theme is the one every Linux desktop ships.
void ensureThemeFallback()
{
    static const bool done = [] {
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)done;
}

// --- drawing helpers, all on the 24 grid ---

QPainterPath rounded(qreal x, qreal y, qreal w, qreal h, qreal r)
{
    QPainterPath p;
    p.addRoundedRect(QRectF(x, y, w, h), r, r);
    return p;
}

QPainterPath ellipse(qreal cx, qreal cy, qreal rx, qreal ry)
{
    QPainterPath p;
    p.addEllipse(QPointF(cx, cy), rx, ry);
    return p;
}

QPainterPath polyline(std::initializer_list<QPointF> points, bool closed = false)
{
    QPainterPath p;
    bool first = true;
    for (const QPointF& point : points) {
        first ? p.moveTo(point) : p.lineTo(point);
        first = false;
    }
    if (closed)
        p.closeSubpath();
    return p;
}

QPainterPath starPath(QPointF centre, qreal outer, qreal inner, int points)
{
    QPainterPath p;
    for (int i = 0; i < points * 2; ++i) {
        const qreal r = i % 2 == 0 ? outer : inner;
        const qreal a = -std::numbers::pi / 2 + i * std::numbers::pi / points;
        const QPointF at(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        i == 0 ? p.moveTo(at) : p.lineTo(at);
    }
    p.closeSubpath();
    return p;
}

QPainterPath check() { return polyline({{7.5, 12.5}, {10.8, 15.8}, {16.5, 8.5}}); }

QPainterPath cross(qreal c = 12, qreal r = 3.6)
{
    QPainterPath p = polyline({{c - r, c - r}, {c + r, c + r}});
    p.addPath(polyline({{c + r, c - r}, {c - r, c + r}}));
    return p;
}

QPainterPath bangMark(qreal x, qreal top, qreal bottom)
{
    QPainterPath p = polyline({{x, top}, {x, bottom}});
    p.addPath(polyline({{x, bottom + 3.2}, {x, bottom + 3.3}}));
    return p;
}

QPainterPath questionMark(qreal x, qreal y)
{
    QPainterPath p;
    p.moveTo(x - 3, y - 2);
    p.cubicTo(x - 3, y - 6, x + 3.2, y - 6, x + 3.2, y - 2.2);
    p.cubicTo(x + 3.2, y + 0.2, x, y + 0.4, x, y + 2.6);
    p.addPath(polyline({{x, y + 5.6}, {x, y + 5.7}}));
    return p;
}

QPainterPath arrow(QPointF from, QPointF to, qreal head = 3.4)
{
    QPainterPath p = polyline({from, to});
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    p.addPath(polyline({to - d * head + n * head, to, to - d * head - n * head}));
    return p;
}

QPainterPath cloud()
{
    QPainterPath p = ellipse(8, 14, 5.5, 5);
    p = p.united(ellipse(13.5, 10.5, 6.5, 6.5));
    p = p.united(ellipse(18, 14.5, 4.5, 4.5));
    p = p.united(rounded(8, 13, 10, 6, 1));
    return p;
}

QPainterPath docOutline(qreal x, qreal y, qreal w, qreal h)
{
    return polyline({{x, y}, {x + w - 4.5, y}, {x + w, y + 4.5}, {x + w, y + h}, {x, y + h}}, true);
}

QPainterPath lines(std::initializer_list<QLineF> segments)
{
    QPainterPath p;
    for (const QLineF& l : segments) {
        p.moveTo(l.p1());
        p.lineTo(l.p2());
    }
    return p;
}

class Draw {
public:
    Draw(QPainter& painter, const QColor& color, bool filled) : p_(painter), color_(color), filled_(filled) {}

    // A shape with marks: filled, the marks are cut out; otherwise both are lines.
    void marked(const QPainterPath& shape, const QPainterPath& marks = QPainterPath(), qreal markWidth = 2.2)
    {
        if (filled_) {
            QPainterPath cut = shape;
            if (!marks.isEmpty())
                cut = shape.subtracted(stroke(marks, markWidth));
            p_.fillPath(cut, color_);
        } else {
            line(shape, 1.8);
            if (!marks.isEmpty())
                line(marks, markWidth);
        }
    }
    void line(const QPainterPath& path, qreal width = 1.8)
    {
        p_.setPen(QPen(color_, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p_.setBrush(Qt::NoBrush);
        p_.drawPath(path);
    }
    void solid(const QPainterPath& path) { p_.fillPath(path, color_); }
    // Filled when the symbol is, outlined otherwise.
    void body(const QPainterPath& path) { filled_ ? solid(path) : line(path); }
    void text(const QRectF& box, const QString& glyph, qreal pixels, bool italic = false)
    {
        QFont font = QApplication::font();
        font.setPixelSize(int(pixels));
        font.setItalic(italic);
        font.setBold(true);
        p_.setFont(font);
        p_.setPen(color_);
        p_.drawText(box, Qt::AlignCenter, glyph);
    }
    static QPainterPath stroke(const QPainterPath& path, qreal width)
    {
        QPainterPathStroker stroker(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        return stroker.createStroke(path);
    }

private:
    QPainter& p_;
    QColor color_;
    bool filled_;
};

// Circles and badges that carry a mark.
void drawBadgeShapes(Draw& d, QPainter& painter, Shape shape, const QColor& color)
{
    const QPainterPath disc = ellipse(12, 12, 10, 10);
    switch (shape) {
    case Shape::circle: return d.line(ellipse(12, 12, 9, 9));
    case Shape::circleDotted: {
        QPainter& p = painter;
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        for (int i = 0; i < 12; ++i) {
            const qreal a = i * std::numbers::pi / 6;
            p.drawEllipse(QPointF(12 + 9 * std::cos(a), 12 + 9 * std::sin(a)), 1.1, 1.1);
        }
        return;
    }
    case Shape::checkCircle: return d.marked(disc, check());
    case Shape::xCircle: return d.marked(disc, cross());
    case Shape::minusCircle: return d.marked(disc, polyline({{8, 12}, {16, 12}}));
    case Shape::plusCircle: return d.marked(disc, lines({{{12, 7.5}, {12, 16.5}}, {{7.5, 12}, {16.5, 12}}}));
    case Shape::pauseCircle: return d.marked(disc, lines({{{9.6, 8}, {9.6, 16}}, {{14.4, 8}, {14.4, 16}}}));
    case Shape::arrowDownCircle: return d.marked(disc, arrow({12, 6.5}, {12, 17}));
    case Shape::infoCircle: return d.marked(disc, lines({{{12, 11}, {12, 16.5}}, {{12, 7.4}, {12, 7.5}}}));
    case Shape::questionCircle: return d.marked(disc, questionMark(12, 10.5), 2);
    case Shape::filterCircle:
        return d.marked(disc, lines({{{6.5, 8.5}, {17.5, 8.5}}, {{8.5, 12}, {15.5, 12}}, {{10.5, 15.5}, {13.5, 15.5}}}), 1.8);
    case Shape::nosign:
        d.line(ellipse(12, 12, 9, 9), 2);
        return d.line(polyline({{5.8, 5.8}, {18.2, 18.2}}), 2);
    case Shape::seal: return d.marked(starPath({12, 12}, 10.5, 8.8, 12), check());
    case Shape::shield: {
        QPainterPath s;
        s.moveTo(12, 2);
        s.lineTo(20.5, 5.2);
        s.cubicTo(20.5, 13.5, 17, 19, 12, 22);
        s.cubicTo(7, 19, 3.5, 13.5, 3.5, 5.2);
        s.closeSubpath();
        return d.marked(s, check());
    }
    case Shape::triangle:
        return d.marked(polyline({{12, 3}, {22, 20.5}, {2, 20.5}}, true), bangMark(12, 9, 13.8));
    default: return;
    }
}

// Locks, drives, places and devices.
void drawDeviceShapes(Draw& d, Shape shape)
{
    switch (shape) {
    case Shape::lock:
    case Shape::lockOpen: {
        QPainterPath shackle;
        shackle.moveTo(8, 11);
        shackle.lineTo(8, 8);
        shackle.arcTo(QRectF(8, 3.5, 8, 9), 180, -180);
        if (shape == Shape::lock)
            shackle.lineTo(16, 11);
        d.line(shape == Shape::lock ? shackle : shackle.translated(3.5, -1.5), 2.2);
        return d.solid(rounded(5.5, 10.5, 13, 10.5, 2));
    }
    case Shape::drive:
    case Shape::driveCheck:
        d.marked(rounded(2.5, 8, 19, 9, 3), polyline({{17.5, 12.5}, {17.5, 12.6}}), 2.4);
        if (shape == Shape::driveCheck)
            d.line(polyline({{7, 20}, {10, 22.5}, {16, 18.5}}), 2);
        return;
    case Shape::externalDrive:
        d.marked(rounded(3, 6, 18, 11, 3), polyline({{17, 11.5}, {17, 11.6}}), 2.4);
        return d.line(lines({{{12, 17}, {12, 21}}, {{6, 21.5}, {18, 21.5}}}), 2);
    case Shape::house:
        return d.marked(polyline({{12, 3}, {22, 12}, {19, 12}, {19, 21}, {5, 21}, {5, 12}, {2, 12}}, true),
                        lines({{{12, 15.5}, {12, 21}}}), 3.5);
    case Shape::chartBar: {
        QPainterPath bars = rounded(3, 13, 4.5, 8, 1);
        bars.addPath(rounded(9.75, 8, 4.5, 13, 1));
        bars.addPath(rounded(16.5, 3, 4.5, 18, 1));
        return d.body(bars);
    }
    case Shape::chip: {
        QPainterPath pins;
        for (qreal at : {8.0, 12.0, 16.0})
            pins.addPath(lines({{{at, 2.5}, {at, 5.5}}, {{at, 18.5}, {at, 21.5}}, {{2.5, at}, {5.5, at}},
                                {{18.5, at}, {21.5, at}}}));
        d.line(pins, 1.6);
        return d.body(rounded(6, 6, 12, 12, 2));
    }
    case Shape::phone:
        return d.marked(rounded(6.5, 2, 11, 20, 2.5), polyline({{10.5, 18.5}, {13.5, 18.5}}), 1.6);
    case Shape::phones:
        d.line(rounded(2, 3, 14, 18, 2));
        d.line(rounded(14, 9, 8, 13, 2));
        return d.line(polyline({{17, 19.5}, {19, 19.5}}), 1.4);
    case Shape::columns:
        d.line(rounded(2, 5, 20, 14, 2));
        return d.line(lines({{{8.7, 5}, {8.7, 19}}, {{15.3, 5}, {15.3, 19}}}), 1.6);
    case Shape::terminal:
        d.line(rounded(2, 3.5, 20, 17, 2.5), 1.6);
        d.line(polyline({{6, 9}, {9.5, 12}, {6, 15}}), 1.8);
        return d.line(polyline({{11.5, 15.5}, {17, 15.5}}), 1.8);
    default: return;
    }
}

// Documents, containers and lists.
void drawDocumentShapes(Draw& d, Shape shape)
{
    switch (shape) {
    case Shape::docs:
        d.body(docOutline(9, 2.5, 11, 14));
        return d.body(docOutline(4, 7, 11, 14.5));
    case Shape::doc: return d.body(docOutline(5, 2.5, 14, 19));
    case Shape::docText:
        return d.marked(docOutline(5, 2.5, 14, 19),
                        lines({{{8.5, 10}, {15.5, 10}}, {{8.5, 13.5}, {15.5, 13.5}}, {{8.5, 17}, {13, 17}}}), 1.6);
    case Shape::docSearch:
        d.line(docOutline(4, 2.5, 13, 18));
        d.line(ellipse(15, 15, 3.8, 3.8), 2);
        return d.line(polyline({{17.8, 17.8}, {21.5, 21.5}}), 2.4);
    case Shape::docArrowUp: return d.marked(docOutline(5, 2.5, 14, 19), arrow({12, 18}, {12, 9}, 3));
    case Shape::box:
        return d.marked(polyline({{3, 8}, {21, 8}, {20, 21}, {4, 21}}, true).united(rounded(2, 3.5, 20, 5, 1)),
                        lines({{{9.5, 12.5}, {14.5, 12.5}}, {{2, 8.3}, {22, 8.3}}}), 1.8);
    case Shape::boxArrowBack:
        d.solid(rounded(8, 6, 14, 14, 2));
        return d.line(arrow({7, 13}, {1.8, 13}, 2.6), 2);
    case Shape::gift:
        d.marked(rounded(3.5, 10, 17, 11, 1.5).united(rounded(2.5, 6.5, 19, 4.5, 1)),
                 lines({{{12, 6.5}, {12, 21}}, {{2.5, 11}, {21.5, 11}}}), 1.8);
        return d.line(polyline({{12, 6.5}, {8.5, 2.5}, {7, 5.5}, {12, 6.5}, {15.5, 2.5}, {17, 5.5}, {12, 6.5}}), 1.5);
    case Shape::books: {
        QPainterPath b = rounded(3, 4, 5, 17, 1);
        b.addPath(rounded(9.5, 6, 5, 15, 1));
        QTransform t;
        t.translate(18.5, 13.5);
        t.rotate(-14);
        b.addPath(t.map(rounded(-2.5, -8, 5, 16, 1)));
        return d.body(b);
    }
    case Shape::checklist:
        d.line(polyline({{2.5, 6.5}, {4.5, 8.5}, {8, 4.5}}), 1.8);
        d.line(polyline({{2.5, 15.5}, {4.5, 17.5}, {8, 13.5}}), 1.8);
        return d.line(lines({{{11, 6.5}, {21, 6.5}}, {{11, 15.5}, {21, 15.5}}}), 2);
    case Shape::envelope:
        return d.marked(rounded(2, 5, 20, 14, 2), polyline({{2.5, 6.5}, {12, 13.5}, {21.5, 6.5}}), 1.8);
    case Shape::folder:
        return d.body(polyline({{2.5, 5}, {9, 5}, {11, 7.5}, {21.5, 7.5}, {21.5, 19.5}, {2.5, 19.5}}, true));
    case Shape::listBullet:
    case Shape::listRectangle: {
        if (shape == Shape::listRectangle)
            d.line(rounded(1.5, 3, 21, 18, 2.5), 1.6);
        const qreal left = shape == Shape::listRectangle ? 6 : 4;
        QPainterPath dots;
        for (qreal y : {7.5, 12.0, 16.5})
            dots.addEllipse(QPointF(left, y), 1.3, 1.3);
        d.solid(dots);
        return d.line(lines({{{left + 3.5, 7.5}, {19, 7.5}}, {{left + 3.5, 12}, {19, 12}}, {{left + 3.5, 16.5}, {19, 16.5}}}),
                      1.8);
    }
    case Shape::tag:
        return d.marked(polyline({{2.5, 2.5}, {11.5, 2.5}, {21.5, 12.5}, {12.5, 21.5}, {2.5, 11.5}}, true),
                        polyline({{7.3, 7.3}, {7.4, 7.4}}), 3.2);
    case Shape::tray:
    case Shape::trayFull: {
        const QPainterPath t = polyline({{2.5, 13}, {5.5, 4.5}, {18.5, 4.5}, {21.5, 13}, {21.5, 20}, {2.5, 20}}, true);
        QPainterPath marks = polyline({{2.5, 13}, {8, 13}, {9.5, 15.5}, {14.5, 15.5}, {16, 13}, {21.5, 13}});
        if (shape == Shape::trayFull)
            marks.addPath(lines({{{7.5, 7.5}, {16.5, 7.5}}, {{6.5, 10.3}, {17.5, 10.3}}}));
        return d.marked(t, marks, 1.6);
    }
    case Shape::trash:
        d.line(polyline({{5.5, 7}, {7, 21}, {17, 21}, {18.5, 7}}));
        d.line(lines({{{3, 6}, {21, 6}}, {{10, 10.5}, {10, 17}}, {{14, 10.5}, {14, 17}}}), 1.8);
        return d.line(polyline({{9, 6}, {9.5, 3}, {14.5, 3}, {15, 6}}), 1.6);
    default: return;
    }
}

// Arrows, cycles and clocks.
void drawMotionShapes(Draw& d, Shape shape)
{
    switch (shape) {
    case Shape::clockwise: {
        QPainterPath p;
        p.arcMoveTo(QRectF(4, 4, 16, 16), 60);
        p.arcTo(QRectF(4, 4, 16, 16), 60, 300);
        d.line(p, 2);
        return d.line(polyline({{13.5, 2.5}, {17, 5.2}, {14, 8.5}}), 2);
    }
    case Shape::circlePath: {
        QPainterPath p;
        p.arcMoveTo(QRectF(4, 4, 16, 16), 30);
        p.arcTo(QRectF(4, 4, 16, 16), 30, 150);
        p.arcMoveTo(QRectF(4, 4, 16, 16), 210);
        p.arcTo(QRectF(4, 4, 16, 16), 210, 150);
        d.line(p, 2);
        return d.line(polyline({{1.5, 9}, {4, 12.5}, {7, 9.5}}).united(polyline({{17, 14.5}, {20, 11.5}, {22.5, 15}})),
                      2);
    }
    case Shape::swap:
        d.line(arrow({4, 8}, {20, 8}), 2);
        return d.line(arrow({20, 16}, {4, 16}), 2);
    case Shape::arrowRight: return d.line(arrow({4, 12}, {20, 12}, 5), 2);
    case Shape::arrowsIn:
        d.line(arrow({3.5, 20.5}, {10.5, 13.5}), 2);
        return d.line(arrow({20.5, 3.5}, {13.5, 10.5}), 2);
    case Shape::arrowsOut:
        d.line(arrow({10.5, 13.5}, {3.5, 20.5}), 2);
        return d.line(arrow({13.5, 10.5}, {20.5, 3.5}), 2);
    case Shape::compressVertical:
        d.line(rounded(3, 9, 18, 6, 1.5));
        d.line(arrow({12, 1.5}, {12, 7}, 2.6), 1.8);
        return d.line(arrow({12, 22.5}, {12, 17}, 2.6), 1.8);
    case Shape::appBadge:
        d.line(rounded(3, 5, 16, 16, 4));
        return d.solid(ellipse(18.5, 5.5, 3.5, 3.5));
    case Shape::appArrow:
        d.line(polyline({{10, 4}, {6, 4}, {4, 6}, {4, 18}, {6, 20}, {18, 20}, {20, 18}, {20, 14}}));
        return d.line(arrow({11, 13}, {20, 4}, 4.5), 2);
    case Shape::clock:
        d.line(ellipse(12, 12, 9, 9));
        return d.line(polyline({{12, 6.5}, {12, 12}, {16, 14.5}}), 2);
    case Shape::clockArrow: {
        QPainterPath p;
        p.arcMoveTo(QRectF(3.5, 3.5, 17, 17), 200);
        p.arcTo(QRectF(3.5, 3.5, 17, 17), 200, -330);
        d.line(p);
        d.line(polyline({{1, 10}, {3.6, 13.6}, {6.8, 10.6}}), 1.8);
        return d.line(polyline({{12, 7.5}, {12, 12}, {15, 14}}), 1.8);
    }
    case Shape::clockX:
        d.line(ellipse(11, 13, 8.5, 8.5));
        d.line(polyline({{11, 8}, {11, 13}, {14.5, 15}}), 1.8);
        return d.line(cross(19, 2.6).translated(0, -13.5), 1.8);
    case Shape::hourglass:
        d.line(polyline({{6, 3}, {18, 3}, {12, 12}, {18, 21}, {6, 21}, {12, 12}}, true));
        return d.solid(polyline({{9, 19.5}, {15, 19.5}, {12, 15.5}}, true));
    case Shape::speedometer: {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(2.5, 4.5, 19, 19), 200);
        arc.arcTo(QRectF(2.5, 4.5, 19, 19), 200, -220);
        d.line(arc, 2);
        return d.line(polyline({{12, 14}, {16.5, 8.5}}), 2.2);
    }
    case Shape::shareUp:
        d.line(polyline({{8, 9}, {5, 9}, {5, 21}, {19, 21}, {19, 9}, {16, 9}}));
        return d.line(arrow({12, 15}, {12, 2.5}, 3.6), 2);
    case Shape::chevronLeft: return d.line(polyline({{15, 4}, {7, 12}, {15, 20}}), 2.4);
    default: return;
    }
}

// Clouds, lights, stars and speech bubbles.
void drawSkyShapes(Draw& d, Shape shape)
{
    switch (shape) {
    case Shape::bubbleBang:
    case Shape::bubbleQuestion: {
        QPainterPath b = rounded(2, 3, 20, 14.5, 4);
        b = b.united(polyline({{6, 15}, {5.5, 21.5}, {12, 16}}, true));
        return d.marked(b, shape == Shape::bubbleBang ? bangMark(12, 6, 10.5) : questionMark(12, 8.6), 2);
    }
    case Shape::cloudDown: return d.marked(cloud(), arrow({13, 9}, {13, 18.5}, 2.8), 2);
    case Shape::cloudSlash:
        d.marked(cloud(), polyline({{4, 4}, {21, 21}}), 3.2);
        return d.line(polyline({{4, 4}, {21, 21}}), 1.8);
    case Shape::cloudBang: return d.marked(cloud(), bangMark(13, 8.5, 13), 2.2);
    case Shape::globe:
        d.line(ellipse(12, 12, 9.5, 9.5));
        d.line(ellipse(12, 12, 4.5, 9.5), 1.5);
        return d.line(lines({{{2.5, 12}, {21.5, 12}}, {{4, 7}, {20, 7}}, {{4, 17}, {20, 17}}}), 1.4);
    case Shape::lightbulb:
        d.body(ellipse(12, 9.5, 6.5, 6.5).united(rounded(9, 12, 6, 6, 1)));
        return d.line(lines({{{9.5, 20}, {14.5, 20}}, {{10.5, 22.2}, {13.5, 22.2}}}), 1.6);
    case Shape::moon: {
        const QPainterPath crescent = ellipse(10, 13, 8.5, 8.5).subtracted(ellipse(15, 9, 7, 7));
        d.body(crescent);
        return d.line(polyline({{15, 3}, {19, 3}, {15, 7.5}, {19, 7.5}}), 1.4);
    }
    case Shape::sparkles:
    case Shape::sparklesStack: {
        if (shape == Shape::sparklesStack) {
            d.line(lines({{{5, 3.5}, {19, 3.5}}, {{3.5, 6.5}, {20.5, 6.5}}}), 1.5);
            d.solid(rounded(2, 9, 20, 13, 2.5).subtracted(starPath({12, 15.5}, 5, 1.4, 4)));
            return;
        }
        QPainterPath both = starPath({10, 13.5}, 9.5, 2.4, 4);
        both.addPath(starPath({19, 5}, 4.2, 1.1, 4));
        return d.solid(both);
    }
    case Shape::star: return d.body(starPath({12, 12.8}, 10, 4.2, 5));
    default: return;
    }
}

// Tools, people and the remaining things.
void drawToolShapes(Draw& d, Shape shape)
{
    switch (shape) {
    case Shape::function: return d.text(QRectF(0, 0, 24, 24), QStringLiteral("ƒ"), 20, true);
    case Shape::gear: {
        QPainterPath g = starPath({12, 12}, 10, 7.8, 8);
        return d.marked(g, ellipse(12, 12, 2.8, 2.8), 2);
    }
    case Shape::hammer: {
        QTransform t;
        t.translate(12, 12);
        t.rotate(45);
        QPainterPath h = rounded(-1.6, -3, 3.2, 13.5, 1.2);
        h.addPath(rounded(-6.5, -9.5, 13, 6, 1.5));
        return d.body(t.map(h));
    }
    case Shape::link: {
        QTransform t;
        t.translate(12, 12);
        t.rotate(-45);
        d.line(t.map(rounded(-9.5, -3.5, 10.5, 7, 3.5)), 2);
        return d.line(t.map(rounded(-1, -3.5, 10.5, 7, 3.5)), 2);
    }
    case Shape::magnifier:
        d.line(ellipse(10, 10, 6.5, 6.5), 2.2);
        return d.line(polyline({{14.8, 14.8}, {20.5, 20.5}}), 2.8);
    case Shape::musicNote:
        d.solid(ellipse(8, 18, 4, 3.2));
        d.line(polyline({{11.7, 18}, {11.7, 3}, {18.5, 5.5}, {18.5, 9}, {11.7, 6.8}}), 2);
        return;
    case Shape::person: return d.body(ellipse(12, 7.5, 4.5, 4.5).united(rounded(3.5, 13.5, 17, 8.5, 4)));
    case Shape::plus: return d.line(lines({{{12, 4}, {12, 20}}, {{4, 12}, {20, 12}}}), 2.2);
    case Shape::ruler: {
        QTransform t;
        t.translate(12, 12);
        t.rotate(-45);
        d.line(t.map(rounded(-10.5, -4, 21, 8, 1.5)), 1.6);
        QPainterPath ticks;
        for (qreal x : {-6.0, -2.0, 2.0, 6.0})
            ticks.addPath(polyline({{x, -4}, {x, x == -2.0 || x == 6.0 ? -0.5 : -1.5}}));
        return d.line(t.map(ticks), 1.4);
    }
    case Shape::wand:
        d.line(polyline({{3, 21}, {14, 10}}), 2.6);
        d.solid(starPath({17.5, 6.5}, 4.5, 1.3, 4));
        d.solid(starPath({8, 5}, 2.5, 0.7, 4));
        return d.solid(starPath({20, 15}, 2.3, 0.7, 4));
    case Shape::eye: {
        QPainterPath e;
        e.moveTo(2, 12);
        e.quadTo(12, 1.5, 22, 12);
        e.quadTo(12, 22.5, 2, 12);
        d.line(e);
        return d.solid(ellipse(12, 12, 3.3, 3.3));
    }
    case Shape::bell: {
        QPainterPath b;
        b.moveTo(5, 17.5);
        b.lineTo(6.5, 15);
        b.lineTo(6.5, 10.5);
        b.cubicTo(6.5, 3, 17.5, 3, 17.5, 10.5);
        b.lineTo(17.5, 15);
        b.lineTo(19, 17.5);
        b.closeSubpath();
        d.line(b);
        return d.line(polyline({{10, 20.5}, {14, 20.5}}), 2);
    }

    default: return;
    }
}

// Each family draws its own shapes and passes over the others.
void drawShape(QPainter& painter, Shape shape, bool filled, const QColor& color)
{
    Draw d(painter, color, filled);
    drawBadgeShapes(d, painter, shape, color);
    drawDeviceShapes(d, shape);
    drawDocumentShapes(d, shape);
    drawMotionShapes(d, shape);
    drawSkyShapes(d, shape);
    drawToolShapes(d, shape);
}

}  // namespace

bool isKnownSymbol(QStringView name)
{
    for (const Entry& e : entries)
        if (name == QLatin1String(e.name))
            return true;
    return false;
}

QStringList knownSymbols()
{
    QStringList names;
    for (const Entry& e : entries)
        names << QString::fromLatin1(e.name);
    return names;
}

QString symbolThemeName(QStringView name)
{
    const Entry* e = find(name);
    return e ? QString::fromLatin1(e->theme) : QString();
}

void paintSymbol(QPainter& painter, const QRectF& box, QStringView name, const QColor& color)
{
    const Entry* e = find(name);
    if (!e)
        return;
    const qreal side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.x() + (box.width() - side) / 2, box.y() + (box.height() - side) / 2);
    painter.scale(side / 24.0, side / 24.0);
    drawShape(painter, e->shape, e->filled, color);
    painter.restore();
}

QPixmap symbolPixmap(QStringView name, const QColor& color, int side, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(side, side) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintSymbol(painter, QRectF(0, 0, side, side), name, color);
    return pixmap;
}

QIcon symbolIcon(QStringView name, const QColor& color, const QColor& disabled)
{
    if (!find(name))
        return QIcon();
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64}) {
        icon.addPixmap(symbolPixmap(name, color, side));
        if (disabled.isValid())
            icon.addPixmap(symbolPixmap(name, disabled, side), QIcon::Disabled);
    }
    return icon;
}

QIcon symbolIcon(QStringView name)
{
    const Entry* e = find(name);
    if (!e)
        return QIcon();
    ensureThemeFallback();
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(e->theme));
    if (!themed.isNull())
        return themed;
    return symbolIcon(name, QApplication::palette().color(QPalette::WindowText));
}

QIcon fileNameIcon()
{
    static const QIcon icon = symbolIcon(u"doc.fill", QApplication::palette().color(QPalette::Highlight));
    return icon;
}

QLabel* symbolLabel(QStringView name, const QColor& color, int side)
{
    auto* label = new QLabel;
    label->setPixmap(symbolPixmap(name, color, side, 2.0));
    label->setFixedSize(side, side);
    label->setProperty("symbol", name.toString());
    return label;
}

}  // namespace kelvane::ui
