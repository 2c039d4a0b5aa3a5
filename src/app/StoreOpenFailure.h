#pragma once

#include <QString>

#include <filesystem>
#include <string>

class QMessageBox;

namespace kelvane::app {

// What a windowed launch shows when its store cannot be opened (damaged,
// not a database, read-only, a full disk): a window that names the file and
// the reason, since the line on standard error never reaches a desktop user.
// The file itself is left exactly as it is.
struct StoreOpenFailure {
    static QString message();
    // "場所: <store>" and "理由: <reason>" on lines of their own.
    static QString details(const std::filesystem::path& store, const std::string& reason);

    // The window, not yet shown; the caller owns it.
    static QMessageBox* makeAlert(const std::filesystem::path& store, const std::string& reason);

    // Shows the window and returns once the user has closed it or a
    // termination signal has arrived. Needs the QApplication.
    static void show(const std::filesystem::path& store, const std::string& reason);
};

}  // namespace kelvane::app
