// SPDX-License-Identifier: MIT
#include "app/NotificationScheduler.h"

#include "platform/LogStore.h"
#include "support/TempDir.h"

#include "FakeNotificationCenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <chrono>
#include <optional>
#include <string>

namespace kelvane::app {
namespace {

using platform::NotificationAuthorizationStatus;
using platform::NotificationRequest;
using test::FakeNotificationCenter;

const NotificationRequest someoneElses{QStringLiteral("other.app.note"), QStringLiteral("x"), QStringLiteral("y"),
                                       false, 10};

TEST(NotificationSchedulerTest, DisabledOrNothingRegisteredRemovesTheReminderWithoutAsking)
{
    for (const auto& [enabled, count] : {std::pair{false, 5}, std::pair{true, 0}, std::pair{true, -1}}) {
        FakeNotificationCenter center;
        NotificationScheduler scheduler(center);
        center.status = NotificationAuthorizationStatus::authorized;
        scheduler.reschedule(true, 3);
        center.pending.push_back(someoneElses);
        center.calls.clear();

        scheduler.reschedule(enabled, count);

        EXPECT_EQ(center.calls, std::vector<std::string>{"remove:com.orbwright.kelvane.weekly-reminder"})
            << enabled << " " << count;
        ASSERT_EQ(center.pending.size(), 1u);
        EXPECT_EQ(center.pending[0], someoneElses);  // only our own request goes
        EXPECT_EQ(center.questionsAsked, 0);
    }
}

TEST(NotificationSchedulerTest, OnlyAuthorizedOrProvisionalGetTheReminder)
{
    const struct {
        NotificationAuthorizationStatus status;
        bool scheduled;
    } cases[] = {
        {NotificationAuthorizationStatus::denied, false},
        {NotificationAuthorizationStatus::authorized, true},
        {NotificationAuthorizationStatus::provisional, true},
        {NotificationAuthorizationStatus::ephemeral, false},
    };
    for (const auto& c : cases) {
        FakeNotificationCenter center;
        center.status = c.status;
        NotificationScheduler scheduler(center);
        scheduler.reschedule(true, 12);
        EXPECT_EQ(center.questionsAsked, 0) << static_cast<int>(c.status);  // an answer exists: never ask again
        EXPECT_EQ(center.pending.size(), c.scheduled ? 1u : 0u) << static_cast<int>(c.status);
    }
}

TEST(NotificationSchedulerTest, TheUserIsAskedOnceAndTheAnswerDecides)
{
    FakeNotificationCenter center;
    NotificationScheduler scheduler(center);

    scheduler.reschedule(true, 12);
    EXPECT_EQ(center.calls, (std::vector<std::string>{"remove:com.orbwright.kelvane.weekly-reminder", "status",
                                                      "ask", "add"}));
    ASSERT_EQ(center.pending.size(), 1u);
    const NotificationRequest& request = center.pending[0];
    EXPECT_EQ(request.identifier.toStdString(), "com.orbwright.kelvane.weekly-reminder");
    EXPECT_EQ(request.title.toStdString(), "Kelvane");
    EXPECT_EQ(request.body.toStdString(), "登録済み 12 件の圧縮ステータスを確認しませんか？");
    EXPECT_FALSE(request.playsSound);
    EXPECT_EQ(request.timeInterval, 2'592'000.0);

    scheduler.reschedule(true, 12);
    EXPECT_EQ(center.questionsAsked, 1);

    FakeNotificationCenter refusing;
    refusing.answer = false;
    NotificationScheduler refused(refusing);
    refused.reschedule(true, 4);
    EXPECT_EQ(refusing.questionsAsked, 1);
    EXPECT_TRUE(refusing.pending.empty());
    refused.reschedule(true, 4);
    EXPECT_EQ(refusing.questionsAsked, 1);  // a "no" is final too
}

TEST(NotificationSchedulerTest, ReschedulingReplacesThePendingReminder)
{
    FakeNotificationCenter center;
    center.status = NotificationAuthorizationStatus::authorized;
    NotificationScheduler scheduler(center);

    scheduler.reschedule(true, 3);
    center.calls.clear();
    scheduler.reschedule(true, 7);
    ASSERT_EQ(center.pending.size(), 1u);
    EXPECT_EQ(center.pending[0].body.toStdString(), "登録済み 7 件の圧縮ステータスを確認しませんか？");
    // The old request goes before the new one is added, with the full interval again.
    EXPECT_EQ(center.calls, (std::vector<std::string>{"remove:com.orbwright.kelvane.weekly-reminder", "status",
                                                      "add"}));

    scheduler.reschedule(false, 7);
    EXPECT_TRUE(center.pending.empty());
}

TEST(NotificationSchedulerTest, FailuresAreLoggedAndScheduleNothing)
{
    test::TempDir dir;
    dir.useAsHome();
    const auto since = std::chrono::system_clock::now() - std::chrono::seconds(1);

    FakeNotificationCenter silent;
    silent.answer = std::nullopt;
    NotificationScheduler scheduler(silent);
    EXPECT_EQ(scheduler.requestAuthorizationIfNeeded(), NotificationAuthorizationStatus::denied);
    scheduler.reschedule(true, 2);
    EXPECT_TRUE(silent.pending.empty());

    FakeNotificationCenter full;
    full.status = NotificationAuthorizationStatus::authorized;
    full.addFails = true;
    NotificationScheduler failing(full);
    failing.reschedule(true, 2);
    EXPECT_TRUE(full.pending.empty());

    std::vector<std::string> messages;
    for (const auto& entry : platform::LogStore::currentProcess().entries(since)) {
        if (entry.category == "notifications" && entry.level == static_cast<int>(platform::LogLevel::error))
            messages.push_back(entry.message);
    }
    EXPECT_NE(std::find(messages.begin(), messages.end(), "authorization request failed: the desktop did not answer"),
              messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), "schedule reminder failed: disk full"), messages.end());
}

}  // namespace
}  // namespace kelvane::app
