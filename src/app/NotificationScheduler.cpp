// SPDX-License-Identifier: MIT
#include "app/NotificationScheduler.h"

#include "platform/Logger.h"
#include "platform/qt/DesktopNotificationCenter.h"

namespace kelvane::app {

using platform::NotificationAuthorizationStatus;

NotificationScheduler::NotificationScheduler(platform::NotificationCenter& center) : center_(center) {}

NotificationScheduler& NotificationScheduler::shared()
{
    static NotificationScheduler scheduler(platform::DesktopNotificationCenter::current());
    return scheduler;
}

void NotificationScheduler::reschedule(bool enabled, std::int64_t registeredCount)
{
    cancelReminder();
    if (!enabled || registeredCount < 1)
        return;
    const NotificationAuthorizationStatus status = requestAuthorizationIfNeeded();
    if (status == NotificationAuthorizationStatus::authorized || status == NotificationAuthorizationStatus::provisional)
        scheduleReminder(registeredCount);
}

void NotificationScheduler::cancelReminder()
{
    center_.removePendingNotificationRequests({QString::fromLatin1(reminderIdentifier)});
}

NotificationAuthorizationStatus NotificationScheduler::requestAuthorizationIfNeeded()
{
    const NotificationAuthorizationStatus status = center_.authorizationStatus();
    if (status != NotificationAuthorizationStatus::notDetermined)
        return status;
    try {
        return center_.requestAuthorization() ? NotificationAuthorizationStatus::authorized
                                              : NotificationAuthorizationStatus::denied;
    } catch (const platform::NotificationError& error) {
        platform::Logger::notifications().error("authorization request failed: %{public}s", error.what());
        return NotificationAuthorizationStatus::denied;
    }
}

void NotificationScheduler::scheduleReminder(std::int64_t registeredCount)
{
    platform::NotificationRequest request;
    request.identifier = QString::fromLatin1(reminderIdentifier);
    request.title = QStringLiteral("Kelvane");
    request.body = QStringLiteral("登録済み ") + QString::number(registeredCount)
                   + QStringLiteral(" 件の圧縮ステータスを確認しませんか？");
    request.playsSound = false;
    request.timeInterval = reminderInterval;
    try {
        center_.add(request);
    } catch (const platform::NotificationError& error) {
        platform::Logger::notifications().error("schedule reminder failed: %{public}s", error.what());
    }
}

}  // namespace kelvane::app
