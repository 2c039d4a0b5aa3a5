// SPDX-License-Identifier: MIT
#include "ui/common/SheetPresenter.h"

#include "ui/common/WindowKeys.h"

namespace kelvane::ui {

void SheetPresenter::present(QDialog* sheet, std::function<void()> onClosed)
{
    if (sheet->parentWidget() != window_)
        sheet->setParent(window_, sheet->windowFlags() | Qt::Dialog);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    installWindowKeys(sheet, EscapeKey::leftAlone);
    current_ = sheet;
    QObject::connect(sheet, &QDialog::finished, sheet, [this, sheet, onClosed = std::move(onClosed)](int) {
        if (current_ == sheet)
            current_ = nullptr;
        if (onClosed)
            onClosed();
    });
    sheet->open();
}

void SheetPresenter::dismiss()
{
    if (current_)
        current_->reject();
}

}  // namespace kelvane::ui
