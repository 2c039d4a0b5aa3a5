// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/NotificationCenter.h"

#include <cstdint>

namespace kelvane::app {

// Keeps at most one pending reminder that invites the user back some time
// after the last use: every reschedule removes it and, while the reminder is
// enabled and items are registered, adds it again with the full interval.
// Used on the main thread only.
class NotificationScheduler {
public:
    explicit NotificationScheduler(platform::NotificationCenter& center);

    // The process's scheduler, over the desktop's notification center.
    static NotificationScheduler& shared();

    static constexpr const char* reminderIdentifier = "com.orbwright.kelvane.weekly-reminder";
    const double reminderInterval = 2'592'000.0;  // 30 days, in seconds

    void reschedule(bool enabled, std::int64_t registeredCount);
    void cancelReminder();
    // Asks only while the user has never answered; a failed question counts as denied.
    platform::NotificationAuthorizationStatus requestAuthorizationIfNeeded();
    void scheduleReminder(std::int64_t registeredCount);

private:
    platform::NotificationCenter& center_;
};

}  // namespace kelvane::app
