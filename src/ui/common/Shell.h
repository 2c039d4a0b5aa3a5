// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <vector>

class QWidget;

namespace kelvane::ui {

// Everything the desktop provides to the windows, behind one interface so that
// tests can stand in for the desktop. Pickers never block the event loop: they
// answer through `done` once the user has chosen (an empty list or an empty
// path when the user cancelled).
class Shell {
public:
    using Paths = std::vector<std::filesystem::path>;

    virtual ~Shell() = default;

    // Files and folders together, several at once.
    virtual void pickFilesAndFolders(QWidget* parent, const QString& title, std::function<void(Paths)> done) = 0;
    // One folder.
    virtual void pickFolder(QWidget* parent, const QString& title, std::function<void(std::filesystem::path)> done) = 0;
    // A plain-text file to write, proposed under `suggestedName` in `folder`;
    // ".txt" is added to a name typed without a suffix.
    virtual void pickSaveFile(QWidget* parent, const QString& title, const std::filesystem::path& folder,
                              const QString& suggestedName, std::function<void(std::filesystem::path)> done) = 0;

    virtual void setClipboardText(const QString& text) = 0;
    virtual QString clipboardText() const = 0;

    // False when the desktop could not open it.
    virtual bool openUrl(const QUrl& url) = 0;
    virtual bool openFile(const std::filesystem::path& file) = 0;
    // Shows the items selected in the file manager, or opens their folder when
    // no file manager answers.
    virtual void showInFileManager(const Paths& items) = 0;
};

}  // namespace kelvane::ui
