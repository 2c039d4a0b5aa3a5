// SPDX-License-Identifier: MIT
#pragma once

#include "ui/common/Shell.h"

#include <QDBusConnection>
#include <QString>

#include <memory>

class QFileDialog;

namespace kelvane::ui {

// The Linux desktop: Qt's own file dialog (the desktop's native one cannot
// take files and folders in one choice), the system clipboard, the desktop's
// default applications, and the file manager over D-Bus.
class DesktopShell final : public Shell {
public:
    // `bus` is where the file manager is asked (the session bus by default).
    explicit DesktopShell(QDBusConnection bus = QDBusConnection::sessionBus());

    void pickFilesAndFolders(QWidget* parent, const QString& title, std::function<void(Paths)> done) override;
    void pickFolder(QWidget* parent, const QString& title, std::function<void(std::filesystem::path)> done) override;
    void pickSaveFile(QWidget* parent, const QString& title, const std::filesystem::path& folder,
                      const QString& suggestedName, std::function<void(std::filesystem::path)> done) override;

    void setClipboardText(const QString& text) override;
    QString clipboardText() const override;

    bool openUrl(const QUrl& url) override;
    bool openFile(const std::filesystem::path& file) override;
    // org.freedesktop.FileManager1.ShowItems; when no file manager answers,
    // the folder of each item is opened instead.
    void showInFileManager(const Paths& items) override;

    // The file URIs ShowItems is given.
    static QStringList itemUris(const Paths& items);

private:
    // Choosers open in the home folder the first time, then where the user
    // last chose something (not in the folder the program was started from).
    void startWhereTheUserWas(QFileDialog* dialog);

    QDBusConnection bus_;
    std::shared_ptr<QString> lastFolder_ = std::make_shared<QString>();
};

}  // namespace kelvane::ui
