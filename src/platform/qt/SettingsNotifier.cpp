// SPDX-License-Identifier: MIT
#include "platform/qt/SettingsNotifier.h"

namespace kelvane::platform {

SettingsNotifier& SettingsNotifier::instance()
{
    static SettingsNotifier* notifier = new SettingsNotifier;  // outlives every window
    return *notifier;
}

}  // namespace kelvane::platform
