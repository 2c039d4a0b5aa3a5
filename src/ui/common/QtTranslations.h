// SPDX-License-Identifier: MIT
#pragma once

class QCoreApplication;

namespace kelvane::ui {

// Qt's own texts (file dialogs, message-box buttons, context menus of text
// fields) in Japanese, like every other text of the windows, whatever the
// session's locale. False when Qt's translations are not installed; Qt then
// keeps its English texts.
bool installQtTranslations(QCoreApplication& app);

}  // namespace kelvane::ui
