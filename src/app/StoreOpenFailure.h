// SPDX-License-Identifier: MIT
#pragma once

#include "app/QuitOnTermination.h"

#include <QString>

#include <filesystem>
#include <string>

class QMessageBox;

namespace kelvane::app {

// What a windowed launch shows when its store cannot be opened (damaged,
// not a database, read-only, a full disk): a window that names the file and
// the reason, since the line on standard error never reaches a desktop user.
// The file itself is left exactly as it is. Made before the failure is
// logged, so that a termination signal from then on ends the window
// (and the process) in order.
class StoreOpenFailure {
public:
    static QString message();
    // "場所: <store>" and "理由: <reason>" on lines of their own.
    static QString details(const std::filesystem::path& store, const std::string& reason);

    // The window, not yet shown; the caller owns it.
    static QMessageBox* makeAlert(const std::filesystem::path& store, const std::string& reason);

    // Shows the window and returns once the user has closed it or a
    // termination signal has arrived. Needs the QApplication.
    void show(const std::filesystem::path& store, const std::string& reason);

private:
    QuitOnTermination quitOnTermination_;
};

}  // namespace kelvane::app
