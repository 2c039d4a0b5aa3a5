// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

namespace kelvane::ui {

// Shows a window's sheets: each is a window-modal dialog opened without a
// nested event loop. When the sheet closes, however it closes, `onClosed`
// runs (it writes the window's state back) and the dialog is deleted.
class SheetPresenter {
public:
    explicit SheetPresenter(QWidget* window) : window_(window) {}

    void present(QDialog* sheet, std::function<void()> onClosed = {});
    QDialog* current() const { return current_; }
    bool isPresenting() const { return current_ != nullptr; }
    // Closes the sheet on screen (rejecting it).
    void dismiss();

private:
    QWidget* window_;
    QPointer<QDialog> current_;
};

}  // namespace kelvane::ui
