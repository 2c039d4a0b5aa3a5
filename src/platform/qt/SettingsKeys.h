// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace kelvane::platform {

// A settings key with the value its readers get while the key is absent or
// holds a value of another type.
struct BoolSetting {
    const char* name;
    bool defaultValue;
};
struct IntegerSetting {
    const char* name;
    std::int64_t defaultValue;
};
struct StringSetting {
    const char* name;
    const char* defaultValue;
};
// Dates have no default: absent reads as no date.
struct DateSetting {
    const char* name;
};

// Every key the application keeps, declared once with its default.
namespace settings_keys {

inline constexpr StringSetting ratioDisplayMode{"ratioDisplayMode", "remaining"};
inline constexpr IntegerSetting minStarsFilter{"minStarsFilter", 0};
inline constexpr StringSetting statusFilter{"statusFilter", "all"};
inline constexpr StringSetting sizeFilter{"sizeFilter", "all"};
inline constexpr StringSetting kindFilter{"kindFilter", "all"};
inline constexpr IntegerSetting logRetentionDays{"logRetentionDays", 90};
inline constexpr IntegerSetting logRetentionMaxCount{"logRetentionMaxCount", 10000};
inline constexpr BoolSetting weeklyReminderEnabled{"weeklyReminderEnabled", true};
inline constexpr BoolSetting hasShownFirstLaunchAbout{"hasShownFirstLaunchAbout", false};
inline constexpr IntegerSetting registeredItemCountCache{"registeredItemCountCache", 0};

inline constexpr DateSetting lastLaunchAt{"lastLaunchAt"};
inline constexpr DateSetting previousLaunchAt{"previousLaunchAt"};
inline constexpr DateSetting firstLaunchAt{"firstLaunchAt"};
inline constexpr IntegerSetting launchCount{"launchCount", 0};

}  // namespace settings_keys

}  // namespace kelvane::platform
