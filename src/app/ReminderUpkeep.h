// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

namespace kelvane::platform {
class DesktopNotificationCenter;
class Settings;
}  // namespace kelvane::platform

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::app {

class NotificationScheduler;

// The reminder's share of a windowed launch.
struct ReminderUpkeep {
    // Hands the desktop every request that fell due while no process of ours
    // was there to show it, and runs the event loop until the desktop has
    // answered or `timeout` has passed. A request the desktop did not take
    // stays pending for the next check.
    static void deliverDue(platform::DesktopNotificationCenter& center, std::chrono::milliseconds timeout);

    // Notes the number of registered items under "registeredItemCountCache"
    // and renews the reminder for it (removed when disabled or when nothing is
    // registered). When the items cannot be read both stay as they are.
    static void refresh(store::ModelContext& context, platform::Settings& settings, NotificationScheduler& scheduler);
};

}  // namespace kelvane::app
