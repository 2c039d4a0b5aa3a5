#include "ui/common/DesktopShell.h"

#include "support/EventLoopWait.h"
#include "support/PrivateSessionBus.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileDialog>

#include <fstream>

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
