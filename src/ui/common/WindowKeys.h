// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWidget;

namespace kelvane::ui {

// The process's one way to quit: the "終了" menu item and Ctrl+Q in every
// window and sheet ask here; the application decides how it closes.
class QuitRequest final : public QObject {
    Q_OBJECT
public:
    static QuitRequest& shared();
    void request() { emit requested(); }

signals:
    void requested();

private:
    QuitRequest() = default;
};

// What Escape does in a window.
enum class EscapeKey {
    closes,     // closes the window, like Ctrl+W
    leftAlone,  // the window gives it its own meaning (a dialog rejects, a main window keeps it)
};

enum class QuitKey {
    added,       // Ctrl+Q asks QuitRequest
    fromMenu,    // the window's menu bar carries the quit item already
};

// The keys every window of this desktop answers: Ctrl+W closes it (a dialog
// through its own reject, so a sheet that may not close yet stays), Ctrl+Q
// quits, and Escape as given.
void installWindowKeys(QWidget* window, EscapeKey escape, QuitKey quit = QuitKey::added);

}  // namespace kelvane::ui
