// SPDX-License-Identifier: MIT
#include "app/LaunchRecord.h"

#include <cstdint>

namespace kelvane::app {

bool recordLaunch(platform::Settings& settings, const QDateTime& now)
{
    namespace keys = platform::settings_keys;
    bool written = true;
    if (const auto last = settings.value(keys::lastLaunchAt))
        written &= settings.setValue(keys::previousLaunchAt, *last);
    written &= settings.setValue(keys::lastLaunchAt, now);
    if (!settings.value(keys::firstLaunchAt))
        written &= settings.setValue(keys::firstLaunchAt, now);
    const std::int64_t count = settings.value(keys::launchCount);
    // A hand-edited huge count must not overflow.
    written &= settings.setValue(keys::launchCount, count < INT64_MAX ? count + 1 : count);
    return written;
}

}  // namespace kelvane::app
