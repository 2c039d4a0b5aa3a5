// SPDX-License-Identifier: MIT
#include "discovery/RegistrationCoordinator.h"
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"

#include "support/PrivateSessionBus.h"
#include "support/TempDir.h"

#include "KelvaneProcess.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

#include <string>
#include <vector>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;
namespace keys = platform::settings_keys;
using kelvane::test::KelvaneProcess;
using kelvane::test::PrivateSessionBus;
using kelvane::test::ProcessResult;
using platform::DesktopNotificationCenter;
using platform::NotificationAuthorizationStatus;

constexpr const char* reminderID = "com.orbwright.kelvane.weekly-reminder";

// The desktop notification service, played by the test on a bus of its own.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    std::vector<std::pair<QString, QString>> shown;  // summary, body

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        shown.emplace_back(summary, body);
        return static_cast<uint>(shown.size());
    }
};

// Nothing is ever delivered through it: it only lets the test read and
// prepare the notification file the executable uses.
class NoDelivery : public platform::NotificationDelivery {
public:
    void deliver(const platform::NotificationRequest&, std::function<void(bool)> done) override { done(false); }
};

class WindowedLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::application();
        home_.useAsHome();
        fs::create_directories(kelvane_.supportFolder());
        if (bus_.address().isEmpty())
            GTEST_SKIP() << "dbus-daemon is not available";
        QDBusConnection server = QDBusConnection::connectToBus(bus_.address(), serverName);
        ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service_,
                                          QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
        kelvane_.setEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    }

    void TearDown() override { QDBusConnection::disconnectFromBus(serverName); }

    void registerItems(int count)
    {
        auto container = store::makeModelContainer(kelvane_.storeFile());
        for (int i = 0; i < count; ++i) {
            const fs::path file = home_ / ("file" + std::to_string(i) + ".txt");
            kelvane::test::writeRawFile(file, {'x'});
            discovery::RegistrationCoordinator{}.registerItem(file, discovery::ItemKind::file, false,
                                                              container->mainContext());
        }
    }

    DesktopNotificationCenter notifications(DesktopNotificationCenter::Clock clock = &QDateTime::currentDateTimeUtc)
    {
        return DesktopNotificationCenter(kelvane_.notificationsFile(), noDelivery_, std::move(clock));
    }

    // This desktop has no way to say no, so the user's refusal is written where the center keeps it.
    void setStoredAuthorization(NotificationAuthorizationStatus status)
    {
        QFile file(QString::fromStdString(kelvane_.notificationsFile().string()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        root.insert(QStringLiteral("authorizationStatus"), static_cast<int>(status));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(root).toJson());
        file.close();
        ASSERT_EQ(notifications().authorizationStatus(), status);
    }

    static constexpr QLatin1StringView serverName{"kelvane-windowed-launch-test"};

    kelvane::test::TempDir home_;
    KelvaneProcess kelvane_{home_.path()};
    PrivateSessionBus bus_;
    FakeNotificationService service_;
    NoDelivery noDelivery_;

    // Runs the window until it has noted the number of registered items.
    ProcessResult runWindowUntilItemsCounted()
    {
        platform::Settings(kelvane_.settingsFile()).remove(keys::registeredItemCountCache.name);
        return kelvane_.runWindow(
            [this] { return platform::Settings(kelvane_.settingsFile()).contains(keys::registeredItemCountCache.name); });
    }
};

TEST_F(WindowedLaunchTest, ShowsWhatFellDueThenRenewsTheReminderForTheRegisteredItems)
{
    registerItems(2);
    // Left by a launch 31 days ago, when five items were registered.
    notifications([] { return QDateTime::currentDateTimeUtc().addDays(-31); })
        .add({QString::fromLatin1(reminderID), QStringLiteral("Kelvane"),
              QStringLiteral("登録済み 5 件の圧縮ステータスを確認しませんか？"), false, 2'592'000.0});

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const ProcessResult result = runWindowUntilItemsCounted();
    const QDateTime after = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.err;

    ASSERT_EQ(service_.shown.size(), 1u);
    EXPECT_EQ(service_.shown[0].first.toStdString(), "Kelvane");
    EXPECT_EQ(service_.shown[0].second.toStdString(), "登録済み 5 件の圧縮ステータスを確認しませんか？");

    // One request with the same identifier, the new count and the full delay, kept after the process ended.
    const auto pending = notifications().pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].request.identifier.toStdString(), reminderID);
    EXPECT_EQ(pending[0].request.body.toStdString(), "登録済み 2 件の圧縮ステータスを確認しませんか？");
    EXPECT_FALSE(pending[0].request.playsSound);
    EXPECT_GE(pending[0].fireDate, before.addSecs(2'592'000).addMSecs(-1));
    EXPECT_LE(pending[0].fireDate, after.addSecs(2'592'000));
    EXPECT_EQ(notifications().authorizationStatus(), NotificationAuthorizationStatus::authorized);
    EXPECT_EQ(platform::Settings(kelvane_.settingsFile()).value(keys::registeredItemCountCache), 2);

    // Nothing is due now: the next launch shows nothing and keeps one request.
    const ProcessResult again = runWindowUntilItemsCounted();
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(service_.shown.size(), 1u);
    EXPECT_EQ(notifications().pendingNotificationRequests().size(), 1u);
}

TEST_F(WindowedLaunchTest, ADisabledReminderOrDeniedPermissionLeavesNothingPending)
{
    registerItems(3);
    ASSERT_TRUE(platform::Settings(kelvane_.settingsFile()).setValue(keys::weeklyReminderEnabled, false));
    notifications().add({QString::fromLatin1(reminderID), QStringLiteral("Kelvane"),
                         QStringLiteral("登録済み 3 件の圧縮ステータスを確認しませんか？"), false, 2'592'000.0});

    const ProcessResult disabled = runWindowUntilItemsCounted();
    EXPECT_EQ(disabled.exitCode, 0) << disabled.err;
    EXPECT_TRUE(notifications().pendingNotificationRequests().empty());
    // Never asked while the reminder is off.
    EXPECT_EQ(notifications().authorizationStatus(), NotificationAuthorizationStatus::notDetermined);
    EXPECT_EQ(platform::Settings(kelvane_.settingsFile()).value(keys::registeredItemCountCache), 3);

    // Turned on again, but the user said no before: the answer stands.
    ASSERT_TRUE(platform::Settings(kelvane_.settingsFile()).setValue(keys::weeklyReminderEnabled, true));
    setStoredAuthorization(NotificationAuthorizationStatus::denied);
    const ProcessResult denied = runWindowUntilItemsCounted();
    EXPECT_EQ(denied.exitCode, 0) << denied.err;
    EXPECT_TRUE(notifications().pendingNotificationRequests().empty());
    EXPECT_TRUE(service_.shown.empty());
}

TEST_F(WindowedLaunchTest, WithoutADisplayTheWindowedModeSaysSoAndFails)
{
    const ProcessResult result = kelvane_.run({});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("ディスプレイがありません"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
    // Nothing was opened or recorded.
    EXPECT_FALSE(fs::exists(kelvane_.storeFile()));
    EXPECT_FALSE(platform::Settings(kelvane_.settingsFile()).contains(keys::launchCount.name));
}

}  // namespace
}  // namespace kelvane::app

#include "WindowedLaunchTest.moc"
