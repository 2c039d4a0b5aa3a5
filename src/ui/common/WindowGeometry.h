// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

namespace kelvane::ui {

// Keeps a top-level window's place and size between openings and runs, and
// keeps it inside the screen's available area (no part under a panel or off
// the screen's edge). Owned by the window.
class WindowGeometry : public QObject {
    Q_OBJECT
public:
    // Restores what was saved under `key`, or `defaultSize` centred on the
    // screen, then saves whenever the window is hidden or closed.
    static WindowGeometry* keep(QWidget* window, const char* key, QSize defaultSize);

    // Places a new window without a place of its own centred on `parent`
    // (on the screen when there is none), wholly inside the screen's
    // available area, title bar included.
    static void centreOn(QWidget* window, const QWidget* parent);

    // `frame` moved and shrunk as little as possible to lie inside `available`.
    static QRect inside(const QRect& frame, const QRect& available);

    void save();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowGeometry(QWidget* window, const char* key, QSize defaultSize);
    void restore();
    void keepOnScreen();

    QWidget* window_;
    const char* key_;
    QSize defaultSize_;
};

}  // namespace kelvane::ui
