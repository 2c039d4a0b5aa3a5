// SPDX-License-Identifier: MIT
#pragma once

namespace kelvane::platform {
class Settings;
}

namespace kelvane::ui {

// Whether the main window should open the About window by itself now: true
// exactly once, on the first launch, after which "hasShownFirstLaunchAbout"
// is set so that no later launch opens it.
bool takeFirstLaunchAbout(platform::Settings& settings);

}  // namespace kelvane::ui
