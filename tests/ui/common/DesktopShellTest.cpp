// SPDX-License-Identifier: MIT
#include "ui/common/DesktopShell.h"

#include "ui/common/QtTranslations.h"

#include "support/EventLoopWait.h"
#include "support/PrivateSessionBus.h"
#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <fstream>
#include <optional>

namespace kelvane::ui {
namespace {

using namespace std::chrono_literals;

// The file manager's D-Bus service, played by the test.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    std::vector<QStringList> shown;
    QString startupId = QStringLiteral("unset");

public slots:
    void ShowItems(const QStringList& uris, const QString& id)
    {
        shown.push_back(uris);
        startupId = id;
    }
};

TEST(DesktopShellTest, ShowsItemsThroughTheFileManagerService)
{
    test::widgetApplication();
    test::PrivateSessionBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not available";
    const QString serverName = QStringLiteral("file-manager-server");
    {
        QDBusConnection server = QDBusConnection::connectToBus(bus.address(), serverName);
        FakeFileManager manager;
        ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                          QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        DesktopShell shell(QDBusConnection::connectToBus(bus.address(), QStringLiteral("shell-client")));
        shell.showInFileManager({"/home/user/a b.txt", "/home/user/日本.txt"});
        ASSERT_TRUE(test::runEventsUntil([&] { return !manager.shown.empty(); }, 30s));
        ASSERT_EQ(manager.shown.size(), 1u);
        EXPECT_EQ(manager.shown[0], (QStringList{"file:///home/user/a%20b.txt",
                                                 "file:///home/user/%E6%97%A5%E6%9C%AC.txt"}));
        EXPECT_EQ(manager.startupId, QString());

        // Nothing to show: nothing is asked.
        shell.showInFileManager({});
        QCoreApplication::processEvents();
        EXPECT_EQ(manager.shown.size(), 1u);
        server.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    }
    QDBusConnection::disconnectFromBus(serverName);
    QDBusConnection::disconnectFromBus(QStringLiteral("shell-client"));
}

// The one file dialog on screen (the shell opens them without a parent here).
QFileDialog* openFileDialog()
{
    QFileDialog* found = nullptr;
    test::runEventsUntil(
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
                    found = dialog;
            return found != nullptr;
        },
        30s);
    return found;
}

QAbstractButton* buttonWithRole(QFileDialog* dialog, QDialogButtonBox::ButtonRole role)
{
    auto* box = dialog->findChild<QDialogButtonBox*>();
    if (!box)
        return nullptr;
    for (QAbstractButton* button : box->buttons())
        if (box->buttonRole(button) == role)
            return button;
    return nullptr;
}

// What the user reads on the accept button once the dialog has been drawn.
QString drawnAcceptTitle(QFileDialog* dialog)
{
    dialog->grab();
    QAbstractButton* accept = buttonWithRole(dialog, QDialogButtonBox::AcceptRole);
    return accept ? accept->text() : QString();
}

void typeNameAndConfirm(QFileDialog* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    // As an input method commits it (key clicks carry ASCII only).
    edit->insert(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

TEST(DesktopShellTest, FileDialogsSpeakJapaneseAndKeepTheTitleOfTheirAcceptButton)
{
    QApplication& app = test::widgetApplication();
    ASSERT_TRUE(installQtTranslations(app)) << "Qt's translations (qt6-translations-l10n) are not installed";
    test::TempDir dir;
    std::filesystem::create_directory(dir / "photos");
    std::ofstream(dir / "notes.txt") << "x";
    DesktopShell shell;

    // Files and folders together: a selected folder is taken as chosen, so
    // the button keeps its title instead of turning into "Open".
    std::optional<Shell::Paths> picked;
    shell.pickFilesAndFolders(nullptr, QStringLiteral("登録するファイル / フォルダを選択"),
                              [&](Shell::Paths paths) { picked = std::move(paths); });
    QFileDialog* dialog = openFileDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(QString::fromStdString(dir.path().string()));
    dialog->selectFile(QString::fromStdString((dir / "photos").string()));
    ASSERT_TRUE(test::runEventsUntil([&] { return drawnAcceptTitle(dialog) == QStringLiteral("選択"); }, 30s))
        << drawnAcceptTitle(dialog).toStdString();
    QAbstractButton* cancel = buttonWithRole(dialog, QDialogButtonBox::RejectRole);
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->text().contains(QStringLiteral("キャンセル"))) << cancel->text().toStdString();
    auto* lookIn = dialog->findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_NE(lookIn->text(), QStringLiteral("Look in:"));
    cancel->click();
    ASSERT_TRUE(test::runEventsUntil([&] { return picked.has_value(); }, 30s));
    EXPECT_TRUE(picked->empty());

    // One folder.
    std::optional<std::filesystem::path> folder;
    shell.pickFolder(nullptr, QStringLiteral("検索するフォルダを選択"), [&](std::filesystem::path path) { folder = path; });
    dialog = openFileDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(drawnAcceptTitle(dialog), QStringLiteral("選択"));
    dialog->reject();
    ASSERT_TRUE(test::runEventsUntil([&] { return folder.has_value(); }, 30s));
}

TEST(DesktopShellTest, TheSaveDialogOffersTextFilesAndAddsTheSuffixOnlyWhenNoneWasTyped)
{
    QApplication& app = test::widgetApplication();
    installQtTranslations(app);
    test::TempDir dir;
    DesktopShell shell;
    const auto save = [&](const QString& typed) {
        std::optional<std::filesystem::path> chosen;
        shell.pickSaveFile(nullptr, QStringLiteral("ログを書き出し"), dir.path(), QStringLiteral("Kelvane-log-1.txt"),
                           [&](std::filesystem::path path) { chosen = path; });
        QFileDialog* dialog = openFileDialog();
        EXPECT_NE(dialog, nullptr);
        if (!dialog)
            return std::filesystem::path("no dialog");
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("テキストファイル (*.txt)")});
        typeNameAndConfirm(dialog, typed);
        EXPECT_TRUE(test::runEventsUntil([&] { return chosen.has_value(); }, 30s));
        return chosen.value_or("no answer");
    };
    EXPECT_EQ(save(QStringLiteral("report")), dir / "report.txt");
    EXPECT_EQ(save(QStringLiteral("report.log")), dir / "report.log");
    EXPECT_EQ(save(QStringLiteral("報告.txt")), dir / "報告.txt");
}

QFileDialog* openChooser()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// The program may be started from any folder (a build folder, a checkout):
// the choosers open at home first, then where the user last chose something;
// a cancelled chooser moves nothing.
TEST(DesktopShellTest, ChoosersOpenAtHomeFirstThenWhereTheUserLastChose)
{
    kelvane::test::widgetApplication();
    const QString home = QDir::homePath();
    const std::filesystem::path photos = std::filesystem::path(home.toStdString()) / "Photos";
    std::filesystem::create_directories(photos / "2024");
    std::ofstream(photos / "a.jpg") << "a";
    ASSERT_NE(QDir::currentPath(), home);

    DesktopShell shell;
    Shell::Paths picked;
    shell.pickFilesAndFolders(nullptr, QStringLiteral("追加"), [&](Shell::Paths paths) { picked = std::move(paths); });
    QFileDialog* dialog = openChooser();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->directory().absolutePath(), home);
    dialog->setDirectory(QString::fromStdString(photos.string()));
    dialog->selectFile(QString::fromStdString((photos / "a.jpg").string()));
    static_cast<QDialog*>(dialog)->accept();  // as the accept button does
    EXPECT_EQ(picked, Shell::Paths{photos / "a.jpg"});
    ASSERT_TRUE(kelvane::test::runEventsUntil([] { return openChooser() == nullptr; }, 30s));

    std::filesystem::path folder = "unset";
    shell.pickFolder(nullptr, QStringLiteral("フォルダ"), [&](std::filesystem::path path) { folder = std::move(path); });
    dialog = openChooser();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->directory().absolutePath().toStdString(), photos.string());
    dialog->setDirectory(QString::fromStdString((photos / "2024").string()));
    dialog->reject();
    EXPECT_EQ(folder, std::filesystem::path());
    ASSERT_TRUE(kelvane::test::runEventsUntil([] { return openChooser() == nullptr; }, 30s));

    shell.pickFilesAndFolders(nullptr, QStringLiteral("追加"), [](Shell::Paths) {});
    dialog = openChooser();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->directory().absolutePath().toStdString(), photos.string());
    dialog->reject();
    ASSERT_TRUE(kelvane::test::runEventsUntil([] { return openChooser() == nullptr; }, 30s));
}

}  // namespace
}  // namespace kelvane::ui

#include "DesktopShellTest.moc"
