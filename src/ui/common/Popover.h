// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>

namespace kelvane::ui {

// A small frameless window placed at a cell or a control, closed by Esc or by
// a click anywhere outside it. `closed` is emitted once, however it closes.
class Popover : public QFrame {
    Q_OBJECT
public:
    explicit Popover(QWidget* parent);

    // Shows the popover below `anchor` (in `anchorWidget`'s coordinates),
    // kept on the anchor's screen.
    void showAt(QWidget* anchorWidget, const QRect& anchor);

signals:
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void announceClosed();
    bool announced_ = false;
};

}  // namespace kelvane::ui
