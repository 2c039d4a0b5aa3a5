// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace kelvane::app {

// The name the desktop knows Kelvane by: the desktop entry
// (<id>.desktop), the icon theme's icon, the AppStream id.
inline constexpr const char* desktopId = "com.orbwright.kelvane";

// The icon the installed icon theme gets too (its PNG sizes), built into the
// program so that a window shows it without an installation.
QIcon applicationIcon();

// Ties the running application to its desktop entry (window grouping, the
// Wayland app id) and gives every window the icon.
void applyDesktopIdentity();

}  // namespace kelvane::app
