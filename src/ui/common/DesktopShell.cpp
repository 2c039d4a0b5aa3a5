// SPDX-License-Identifier: MIT
#include "ui/common/DesktopShell.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPointer>

#include <set>

namespace kelvane::ui {

namespace {

// Qt's file dialog enters a folder when "open" is pressed on it; this one
// takes the selected folders as chosen, together with the files.
class FilesAndFoldersDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        if (selectedFiles().isEmpty())
            return;
        QDialog::accept();
    }
};

// Qt's dialog renames its accept button "Open" while a folder is selected,
// although this dialog takes the folder as chosen: the button keeps the
// title it was given, whatever the dialog wrote into it since it was last drawn.
class AcceptLabel final : public QObject {
public:
    AcceptLabel(QAbstractButton* button, QString label) : QObject(button), label_(std::move(label))
    {
        button->setText(label_);
        button->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint || event->type() == QEvent::Show) {
            auto* button = static_cast<QAbstractButton*>(watched);
            if (button->text() != label_)
                button->setText(label_);
        }
        return false;
    }

private:
    QString label_;
};

void setAcceptLabel(QFileDialog* dialog, const QString& label)
{
    dialog->setLabelText(QFileDialog::Accept, label);
    if (auto* box = dialog->findChild<QDialogButtonBox*>())
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QDialogButtonBox::AcceptRole)
                new AcceptLabel(button, label);
}

QString localPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// Opens a one-path dialog without blocking and answers with the chosen path,
// or an empty one when the user cancelled.
void openForOnePath(QFileDialog* dialog, std::function<void(std::filesystem::path)> done)
{
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
        const QStringList files = dialog->selectedFiles();
        done(result == QDialog::Accepted && !files.isEmpty() ? std::filesystem::path(files.front().toStdString())
                                                             : std::filesystem::path());
    });
    dialog->open();
}

}  // namespace

DesktopShell::DesktopShell(QDBusConnection bus) : bus_(std::move(bus)) {}

void DesktopShell::startWhereTheUserWas(QFileDialog* dialog)
{
    dialog->setDirectory(lastFolder_->isEmpty() ? QDir::homePath() : *lastFolder_);
    // The dialog may outlive the shell; the shared string does not care.
    QObject::connect(dialog, &QDialog::accepted, dialog,
                     [dialog, last = lastFolder_] { *last = dialog->directory().absolutePath(); });
}

void DesktopShell::pickFilesAndFolders(QWidget* parent, const QString& title, std::function<void(Paths)> done)
{
    auto* dialog = new FilesAndFoldersDialog(parent, title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    setAcceptLabel(dialog, QStringLiteral("選択"));
    startWhereTheUserWas(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
        Paths paths;
        if (result == QDialog::Accepted)
            for (const QString& file : dialog->selectedFiles())
                paths.emplace_back(file.toStdString());
        done(std::move(paths));
    });
    dialog->open();
}

void DesktopShell::pickFolder(QWidget* parent, const QString& title, std::function<void(std::filesystem::path)> done)
{
    auto* dialog = new QFileDialog(parent, title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    setAcceptLabel(dialog, QStringLiteral("選択"));
    startWhereTheUserWas(dialog);
    openForOnePath(dialog, std::move(done));
}

void DesktopShell::pickSaveFile(QWidget* parent, const QString& title, const std::filesystem::path& folder,
                                const QString& suggestedName, std::function<void(std::filesystem::path)> done)
{
    auto* dialog = new QFileDialog(parent, title, localPath(folder));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(QStringLiteral("テキストファイル (*.txt)"));
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->selectFile(suggestedName);
    openForOnePath(dialog, std::move(done));
}

void DesktopShell::setClipboardText(const QString& text) { QGuiApplication::clipboard()->setText(text); }

QString DesktopShell::clipboardText() const { return QGuiApplication::clipboard()->text(); }

bool DesktopShell::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool DesktopShell::openFile(const std::filesystem::path& file)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(localPath(file)));
}

QStringList DesktopShell::itemUris(const Paths& items)
{
    QStringList uris;
    for (const auto& item : items)
        uris << QUrl::fromLocalFile(localPath(item)).toString(QUrl::FullyEncoded);
    return uris;
}

void DesktopShell::showInFileManager(const Paths& items)
{
    if (items.empty())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << itemUris(items) << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [items](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (!w->isError())
            return;
        // No file manager on the bus: open each item's folder once.
        std::set<std::filesystem::path> folders;
        for (const auto& item : items)
            folders.insert(item.parent_path());
        for (const auto& folder : folders)
            QDesktopServices::openUrl(QUrl::fromLocalFile(localPath(folder)));
    });
}

}  // namespace kelvane::ui
