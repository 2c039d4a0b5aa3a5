// SPDX-License-Identifier: MIT
#include "ui/common/FirstLaunchAbout.h"

#include "platform/qt/Settings.h"

namespace kelvane::ui {

bool takeFirstLaunchAbout(platform::Settings& settings)
{
    if (settings.value(platform::settings_keys::hasShownFirstLaunchAbout))
        return false;
    settings.setValue(platform::settings_keys::hasShownFirstLaunchAbout, true);
    return true;
}

}  // namespace kelvane::ui
