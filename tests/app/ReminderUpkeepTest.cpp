// SPDX-License-Identifier: MIT
#include "app/NotificationScheduler.h"
#include "app/ReminderUpkeep.h"
#include "discovery/RegistrationCoordinator.h"
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/Settings.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"

#include "support/TempDir.h"

#include "FakeNotificationCenter.h"
#include "KelvaneProcess.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;
namespace keys = platform::settings_keys;
using platform::DesktopNotificationCenter;
using platform::NotificationAuthorizationStatus;
using platform::NotificationRequest;
using test::FakeNotificationCenter;

constexpr const char* reminderID = "com.orbwright.kelvane.weekly-reminder";

class ReminderRefreshTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home_.useAsHome();
        container_ = store::makeModelContainer(home_ / "store.sqlite");
        center_.status = NotificationAuthorizationStatus::authorized;
    }

    void registerFiles(int count)
    {
        for (int i = 0; i < count; ++i) {
            const fs::path file = home_ / ("item" + std::to_string(items_++) + ".txt");
            kelvane::test::writeRawFile(file, {'x'});
            discovery::RegistrationCoordinator{}.registerItem(file, discovery::ItemKind::file, false,
                                                              container_->mainContext());
        }
    }

    void refresh() { ReminderUpkeep::refresh(container_->mainContext(), settings_, scheduler_); }

    std::string pendingBody() const
    {
        return center_.pending.size() == 1 ? center_.pending[0].body.toStdString() : "";
    }

    kelvane::test::TempDir home_;
    std::shared_ptr<store::ModelContainer> container_;
    platform::Settings settings_{home_ / "Kelvane.conf"};
    FakeNotificationCenter center_;
    NotificationScheduler scheduler_{center_};
    int items_ = 0;
};

TEST_F(ReminderRefreshTest, TheCountIsNotedAndTheReminderFollowsItAndTheSetting)
{
    refresh();
    EXPECT_TRUE(settings_.contains(keys::registeredItemCountCache.name));
    EXPECT_EQ(settings_.value(keys::registeredItemCountCache), 0);
    EXPECT_TRUE(center_.pending.empty());

    registerFiles(3);
    refresh();
    EXPECT_EQ(settings_.value(keys::registeredItemCountCache), 3);
    EXPECT_EQ(pendingBody(), "登録済み 3 件の圧縮ステータスを確認しませんか？");

    ASSERT_TRUE(settings_.setValue(keys::weeklyReminderEnabled, false));
    registerFiles(1);
    refresh();
    EXPECT_EQ(settings_.value(keys::registeredItemCountCache), 4);
    EXPECT_TRUE(center_.pending.empty());

    ASSERT_TRUE(settings_.setValue(keys::weeklyReminderEnabled, true));
    refresh();
    EXPECT_EQ(pendingBody(), "登録済み 4 件の圧縮ステータスを確認しませんか？");

    auto& context = container_->mainContext();
    for (const auto& item : context.fetch<store::RegisteredItem>())
        context.remove(item);
    context.save();
    refresh();
    EXPECT_EQ(settings_.value(keys::registeredItemCountCache), 0);
    EXPECT_TRUE(center_.pending.empty());
}

TEST_F(ReminderRefreshTest, UnreadableItemsLeaveTheCountAndTheReminderAsTheyWere)
{
    registerFiles(2);
    refresh();
    ASSERT_EQ(pendingBody(), "登録済み 2 件の圧縮ステータスを確認しませんか？");

    // Another program overwrote the store while it was open.
    const fs::path file = home_ / "store.sqlite";
    container_.reset();
    container_ = store::makeModelContainer(file);
    kelvane::test::writeRawFile(file, std::vector<std::uint8_t>(8192, 0x5A));
    for (const char* side : {"-wal", "-shm"})
        fs::remove(file.string() + side);
    ASSERT_ANY_THROW(container_->mainContext().fetch<store::RegisteredItem>());

    center_.calls.clear();
    refresh();
    EXPECT_TRUE(center_.calls.empty());
    EXPECT_EQ(pendingBody(), "登録済み 2 件の圧縮ステータスを確認しませんか？");
    EXPECT_EQ(settings_.value(keys::registeredItemCountCache), 2);
}

// A desktop that answers each request (`taken` or not) at once, on the next
// turn of the event loop, or only when the test calls what is left `waiting`.
class ManualDelivery : public platform::NotificationDelivery {
public:
    enum class Answer { whenTold, atOnce, onTheEventLoop };

    explicit ManualDelivery(Answer when = Answer::whenTold, bool taken = true) : when_(when), taken_(taken) {}

    std::vector<NotificationRequest> shown;
    std::vector<std::function<void(bool)>> waiting;

    void deliver(const NotificationRequest& request, std::function<void(bool)> done) override
    {
        shown.push_back(request);
        if (when_ == Answer::atOnce)
            done(taken_);
        else if (when_ == Answer::onTheEventLoop)
            QTimer::singleShot(0, [done, ok = taken_] { done(ok); });
        else
            waiting.push_back(std::move(done));
    }

private:
    Answer when_;
    bool taken_;
};

class DueReminderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::application();
        home_.useAsHome();
    }

    // A reminder added 31 days ago with the usual 30-day delay: due a day ago.
    void addDueReminder(const QString& body)
    {
        ManualDelivery unused;
        DesktopNotificationCenter earlier(stateFile_, unused,
                                          [] { return QDateTime::currentDateTimeUtc().addDays(-31); });
        earlier.add({QString::fromLatin1(reminderID), QStringLiteral("Kelvane"), body, false, 2'592'000.0});
    }

    // A launch with `desktop` as the desktop: it hands over what fell due,
    // waiting at most `limit` for the answers.
    std::unique_ptr<DesktopNotificationCenter> launch(ManualDelivery& desktop, std::chrono::milliseconds limit)
    {
        auto center = std::make_unique<DesktopNotificationCenter>(stateFile_, desktop);
        ReminderUpkeep::deliverDue(*center, limit);
        return center;
    }

    std::vector<platform::PendingNotification> pending()
    {
        ManualDelivery unused;
        return DesktopNotificationCenter(stateFile_, unused).pendingNotificationRequests();
    }

    kelvane::test::TempDir home_;
    fs::path stateFile_ = home_ / "Kelvane" / "notifications.json";
};

TEST_F(DueReminderTest, ALaunchWaitsForTheDesktopToTakeWhatFellDue)
{
    addDueReminder(QStringLiteral("登録済み 5 件の圧縮ステータスを確認しませんか？"));
    ManualDelivery desktop(ManualDelivery::Answer::onTheEventLoop, true);
    const auto center = launch(desktop, std::chrono::seconds(60));

    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_EQ(desktop.shown[0].body.toStdString(), "登録済み 5 件の圧縮ステータスを確認しませんか？");
    EXPECT_FALSE(center->deliveriesInFlight());
    EXPECT_TRUE(pending().empty());  // shown, so no longer pending
}

TEST_F(DueReminderTest, WhatTheDesktopDoesNotTakeStaysPending)
{
    addDueReminder(QStringLiteral("登録済み 1 件の圧縮ステータスを確認しませんか？"));

    ManualDelivery absent(ManualDelivery::Answer::atOnce, false);
    const auto withoutDesktop = launch(absent, std::chrono::seconds(60));
    EXPECT_EQ(absent.shown.size(), 1u);
    EXPECT_EQ(pending().size(), 1u);

    // A desktop that does not answer in time: the launch goes on, and a late
    // answer still takes the request off the list.
    ManualDelivery slow;
    const auto withSlowDesktop = launch(slow, std::chrono::milliseconds(50));
    ASSERT_EQ(slow.waiting.size(), 1u);
    EXPECT_TRUE(withSlowDesktop->deliveriesInFlight());
    EXPECT_EQ(pending().size(), 1u);
    slow.waiting[0](true);
    EXPECT_FALSE(withSlowDesktop->deliveriesInFlight());
    EXPECT_TRUE(pending().empty());
}

}  // namespace
}  // namespace kelvane::app
