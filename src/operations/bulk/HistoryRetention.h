// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace kelvane::store {
class ModelContext;
}
namespace kelvane::platform {
class Settings;
}

namespace kelvane::operations {

// Trims the history to the retention settings: records older than the age
// limit go, then all but the newest `maxCount` of the rest; one save when
// anything was deleted. Failures are only logged. Main thread.
struct HistoryRetention {
    static constexpr std::int64_t minDays = 1;
    static constexpr std::int64_t maxDays = 365;
    static constexpr std::int64_t minCount = 100;
    static constexpr std::int64_t maxCount = 100000;

    static void pruneLogs(store::ModelContext& context, const platform::Settings& settings);
    // The limits as read from the settings, clamped to what the settings
    // window offers (a stored 0 would otherwise delete the whole history).
    static std::int64_t retentionDays(const platform::Settings& settings);
    static std::int64_t retentionMaxCount(const platform::Settings& settings);
};

}  // namespace kelvane::operations
