#include "ui/common/DesktopShell.h"

#include "support/EventLoopWait.h"
#include "support/PrivateSessionBus.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QDBusConnection>

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

}  // namespace
}  // namespace kelvane::ui

#include "DesktopShellTest.moc"
