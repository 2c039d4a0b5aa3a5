// SPDX-License-Identifier: MIT
#include "app/ReminderUpkeep.h"

#include "app/NotificationScheduler.h"
#include "platform/Logger.h"
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/Settings.h"
#include "store/ModelContext.h"
#include "store/RegisteredItem.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdint>
#include <exception>

namespace kelvane::app {

void ReminderUpkeep::deliverDue(platform::DesktopNotificationCenter& center, std::chrono::milliseconds timeout)
{
    center.deliverDueNotifications();
    // An absent desktop answers at once; only a live one is waited for.
    if (!center.deliveriesInFlight())
        return;
    QEventLoop loop;
    QObject::connect(&center, &platform::DesktopNotificationCenter::deliveriesSettled, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    loop.exec();
}

void ReminderUpkeep::refresh(store::ModelContext& context, platform::Settings& settings,
                             NotificationScheduler& scheduler)
{
    namespace keys = platform::settings_keys;
    std::int64_t count = 0;
    try {
        count = static_cast<std::int64_t>(context.fetch<store::RegisteredItem>().size());
    } catch (const std::exception& error) {
        // Renewing for no items would silently drop the user's reminder.
        platform::Logger::notifications().error("registered items unreadable, reminder left as it is: %{public}s",
                                                error.what());
        return;
    }
    if (!settings.setValue(keys::registeredItemCountCache, count))
        platform::Logger::notifications().error("registered item count not saved: %{private}s", settings.file());
    scheduler.reschedule(settings.value(keys::weeklyReminderEnabled), count);
}

}  // namespace kelvane::app
