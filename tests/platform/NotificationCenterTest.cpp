// SPDX-License-Identifier: MIT
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/FreedesktopNotificationDelivery.h"

#include "support/CoreApplication.h"
#include "support/EventLoopWait.h"
#include "support/PrivateSessionBus.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <chrono>
#include <functional>
#include <vector>

namespace kelvane::platform {
namespace {

using kelvane::test::coreApplication;

// Runs the event loop until the condition holds or ten seconds have passed.
bool waitFor(const std::function<bool()>& condition)
{
    coreApplication();
    return kelvane::test::runEventsUntil(condition, std::chrono::seconds(10));
}

// Holds each delivery until the test answers it, like a desktop that takes its time.
class HeldDelivery : public NotificationDelivery {
public:
    struct Call {
        NotificationRequest request;
        std::function<void(bool)> done;
    };
    std::vector<Call> calls;

    void deliver(const NotificationRequest& request, std::function<void(bool)> done) override
    {
        calls.push_back({request, std::move(done)});
    }
};

NotificationRequest reminder(const QString& body = QStringLiteral("body"), double interval = 60)
{
    return {QStringLiteral("com.orbwright.kelvane.weekly-reminder"), QStringLiteral("Kelvane"), body, false, interval};
}

class NotificationCenterTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path file = dir / "support" / "notifications.json";
    QDateTime now = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    DesktopNotificationCenter::Clock clock = [this] { return now; };
    HeldDelivery delivery;
};

TEST_F(NotificationCenterTest, PermissionAndRequestsOutliveTheProcess)
{
    {
        DesktopNotificationCenter center(file, delivery, clock);
        EXPECT_EQ(center.authorizationStatus(), NotificationAuthorizationStatus::notDetermined);
        EXPECT_TRUE(center.pendingNotificationRequests().empty());
        EXPECT_TRUE(center.requestAuthorization());
        center.add(reminder(QStringLiteral("登録済み 3 件"), 2'592'000));
    }
    DesktopNotificationCenter later(file, delivery, clock);
    EXPECT_EQ(later.authorizationStatus(), NotificationAuthorizationStatus::authorized);
    const auto pending = later.pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].request, reminder(QStringLiteral("登録済み 3 件"), 2'592'000));
    EXPECT_EQ(pending[0].fireDate, now.addDays(30));
}

TEST_F(NotificationCenterTest, AddReplacesTheSameIdentifierAndRemoveTakesOnlyWhatIsNamed)
{
    DesktopNotificationCenter center(file, delivery, clock);
    NotificationRequest other = reminder();
    other.identifier = QStringLiteral("other");
    center.add(other);
    center.add(reminder(QStringLiteral("first")));
    now = now.addSecs(10);
    center.add(reminder(QStringLiteral("second")));

    auto pending = center.pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[1].request.body.toStdString(), "second");
    EXPECT_EQ(pending[1].fireDate, now.addSecs(60));

    center.removePendingNotificationRequests({QStringLiteral("com.orbwright.kelvane.weekly-reminder")});
    pending = center.pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].request.identifier.toStdString(), "other");
    center.removePendingNotificationRequests({QStringLiteral("unknown")});
    EXPECT_EQ(center.pendingNotificationRequests().size(), 1u);
}

TEST_F(NotificationCenterTest, DueRequestsAreDeliveredOnceAndLeaveOnlyWhenShown)
{
    DesktopNotificationCenter center(file, delivery, clock);
    center.add(reminder());

    center.deliverDueNotifications();
    EXPECT_TRUE(delivery.calls.empty());  // not due yet

    now = now.addSecs(60);
    center.deliverDueNotifications();
    center.deliverDueNotifications();  // still in the desktop's hands: not sent twice
    ASSERT_EQ(delivery.calls.size(), 1u);
    EXPECT_EQ(delivery.calls[0].request, reminder());

    delivery.calls[0].done(false);  // no desktop service: stays for the next check
    EXPECT_EQ(center.pendingNotificationRequests().size(), 1u);

    center.deliverDueNotifications();
    ASSERT_EQ(delivery.calls.size(), 2u);
    delivery.calls[1].done(true);
    EXPECT_TRUE(center.pendingNotificationRequests().empty());
    EXPECT_TRUE(DesktopNotificationCenter(file, delivery, clock).pendingNotificationRequests().empty());
}

TEST_F(NotificationCenterTest, ARequestAddedAgainWhileTheOldOneIsShownStaysPending)
{
    DesktopNotificationCenter center(file, delivery, clock);
    center.add(reminder(QStringLiteral("old"), 0));
    center.deliverDueNotifications();
    ASSERT_EQ(delivery.calls.size(), 1u);

    center.add(reminder(QStringLiteral("new"), 2'592'000));
    delivery.calls[0].done(true);

    const auto pending = center.pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].request.body.toStdString(), "new");
}

TEST_F(NotificationCenterTest, ADamagedFileStartsOverAndAnUnwritableOneFailsTheAdd)
{
    std::filesystem::create_directories(file.parent_path());
    test::writeRawFile(file, {'{', 'n', 'o', 't', ' ', 'j', 's', 'o', 'n'});
    DesktopNotificationCenter center(file, delivery, clock);
    EXPECT_EQ(center.authorizationStatus(), NotificationAuthorizationStatus::notDetermined);
    EXPECT_TRUE(center.pendingNotificationRequests().empty());
    center.add(reminder());
    EXPECT_EQ(center.pendingNotificationRequests().size(), 1u);

    test::writeRawFile(dir / "blocked", {'x'});
    DesktopNotificationCenter blocked(dir / "blocked" / "notifications.json", delivery, clock);
    EXPECT_THROW(blocked.add(reminder()), NotificationError);
    EXPECT_THROW(blocked.requestAuthorization(), NotificationError);
    EXPECT_NO_THROW(blocked.removePendingNotificationRequests({QStringLiteral("x")}));
}

TEST_F(NotificationCenterTest, TheTimerDeliversWhenTheRequestFallsDue)
{
    coreApplication();
    DesktopNotificationCenter center(file, delivery);  // real clock
    center.add(reminder(QStringLiteral("soon"), 0.3));
    center.startDeliveryTimer();
    EXPECT_TRUE(delivery.calls.empty());
    ASSERT_TRUE(waitFor([&] { return !delivery.calls.empty(); }));
    EXPECT_EQ(delivery.calls[0].request.body.toStdString(), "soon");
    delivery.calls[0].done(true);
    EXPECT_TRUE(center.pendingNotificationRequests().empty());
}

TEST_F(NotificationCenterTest, ARequestFallingDueBetweenTheCheckAndTheWaitIsStillDelivered)
{
    coreApplication();
    // Every reading of the clock is 400 ms later than the one before, so the
    // request (due 500 ms after it was added) falls due between a delivery
    // pass and the computing of the next wait unless both use one reading.
    DesktopNotificationCenter center(file, delivery, [this] { return now = now.addMSecs(400); });
    center.add(reminder(QStringLiteral("between"), 0.5));
    center.startDeliveryTimer();
    ASSERT_TRUE(waitFor([&] { return !delivery.calls.empty(); }));
    EXPECT_EQ(delivery.calls[0].request.body.toStdString(), "between");
}

// The desktop notification service, as a test double on a private bus.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString appName, summary, body;
        QVariantMap hints;
        int timeout;
    };
    std::vector<Shown> shown;

public slots:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int timeout)
    {
        shown.push_back({appName, summary, body, hints, timeout});
        return static_cast<uint>(shown.size());
    }
};

TEST(FreedesktopNotificationDeliveryTest, DeliversThroughTheDesktopServiceAndReportsItsAbsence)
{
    coreApplication();
    test::PrivateSessionBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";

    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("kelvane-test-client"));
    ASSERT_TRUE(client.isConnected());
    FreedesktopNotificationDelivery delivery(client);

    // Nobody serves notifications yet.
    std::optional<bool> result;
    delivery.deliver(reminder(), [&](bool ok) { result = ok; });
    ASSERT_TRUE(waitFor([&] { return result.has_value(); }));
    EXPECT_FALSE(*result);

    QDBusConnection server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("kelvane-test-server"));
    FakeNotificationService service;
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));

    result.reset();
    delivery.deliver(reminder(QStringLiteral("登録済み 12 件の圧縮ステータスを確認しませんか？")),
                     [&](bool ok) { result = ok; });
    ASSERT_TRUE(waitFor([&] { return result.has_value(); }));
    EXPECT_TRUE(*result);
    ASSERT_EQ(service.shown.size(), 1u);
    EXPECT_EQ(service.shown[0].appName.toStdString(), "Kelvane");
    EXPECT_EQ(service.shown[0].summary.toStdString(), "Kelvane");
    EXPECT_EQ(service.shown[0].body.toStdString(), "登録済み 12 件の圧縮ステータスを確認しませんか？");
    EXPECT_EQ(service.shown[0].hints.value(QStringLiteral("suppress-sound")), QVariant(true));
    EXPECT_EQ(service.shown[0].timeout, -1);

    server.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("kelvane-test-server"));
    QDBusConnection::disconnectFromBus(QStringLiteral("kelvane-test-client"));
}

}  // namespace
}  // namespace kelvane::platform

#include "NotificationCenterTest.moc"
