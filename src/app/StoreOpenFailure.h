// SPDX-License-Identifier: MIT
#pragma once

#include "app/QuitOnTermination.h"

#include <QString>

#include <exception>
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
    // What went wrong, in the user's words, by the store's failure.
    static QString reason(const std::exception& error);
    // "場所: <store>", "理由: <reason>" and "詳細: <the store's own
    // description>" on lines of their own (the last for a report).
    static QString details(const std::filesystem::path& store, const std::exception& error);

    // The window, not yet shown; the caller owns it.
    static QMessageBox* makeAlert(const std::filesystem::path& store, const std::exception& error);

    // Shows the window and returns once the user has closed it or a
    // termination signal has arrived. Needs the QApplication.
    void show(const std::filesystem::path& store, const std::exception& error);

private:
    QuitOnTermination quitOnTermination_;
};

}  // namespace kelvane::app
