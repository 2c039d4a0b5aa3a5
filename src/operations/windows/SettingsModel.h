// SPDX-License-Identifier: MIT
#pragma once

#include "display/RatioDisplayMode.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace kelvane::platform {
class Settings;
}

namespace kelvane::operations {

// What the settings window changes.
enum class UserSetting { ratioDisplayMode, weeklyReminderEnabled, logRetentionDays, logRetentionMaxCount };

// The settings window's state over the user's settings file. Every change is
// written at once and announced to the other windows; a write that does not
// reach the file is logged, reported by `saveFailed`, and announced to nobody,
// and the setting reads as before. A stored value out of range is shown as
// stored; the first step brings it into the range. Main thread.
class SettingsModel final : public QObject {
    Q_OBJECT
public:
    // Removes the pending reminder and schedules it again while `enabled`
    // and `registeredCount` >= 1 (the application's notification scheduler).
    using Reschedule = std::function<void(bool enabled, std::int64_t registeredCount)>;

    enum class Retention { days, maxCount };
    struct Range {
        std::int64_t min;
        std::int64_t max;
        std::int64_t step;
    };
    static Range range(Retention retention);

    SettingsModel(platform::Settings& settings, Reschedule reschedule, QObject* parent = nullptr);

    display::RatioDisplayMode ratioDisplayMode() const;
    bool weeklyReminderEnabled() const;
    std::int64_t retention(Retention retention) const;
    bool canStep(Retention retention, int direction) const;
    // Where the settings are kept, for the failure alert.
    QString fileName() const;

    // Each returns whether the value now stored is the one asked for.
    bool setRatioDisplayMode(display::RatioDisplayMode mode);
    // Reschedules the reminder after a write that happened.
    bool setWeeklyReminderEnabled(bool enabled);
    // Moves by the retention's step (`direction` -1 or +1), kept in range.
    bool stepRetention(Retention retention, int direction);

signals:
    // Written here or announced by another window.
    void changed(kelvane::operations::UserSetting setting);
    void saveFailed(kelvane::operations::UserSetting setting);

private:
    bool written(bool ok, UserSetting setting);

    platform::Settings& settings_;
    Reschedule reschedule_;
};

}  // namespace kelvane::operations
