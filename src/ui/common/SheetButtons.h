// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QBoxLayout;
class QDialog;
class QPushButton;

namespace kelvane::ui {

// The button row at the bottom of a sheet: a cancel button ("cancelButton";
// Esc, rejects the sheet) and the default button ("confirmButton"; Return),
// right-aligned. Returns the default button; what it does is the caller's to
// connect.
QPushButton* addSheetButtons(QBoxLayout* layout, QDialog* sheet, const QString& confirmTitle);

}  // namespace kelvane::ui
