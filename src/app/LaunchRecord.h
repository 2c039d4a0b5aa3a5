// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/Settings.h"

#include <QDateTime>

namespace kelvane::app {

// Notes a windowed launch: the previous "lastLaunchAt" moves to
// "previousLaunchAt", "lastLaunchAt" becomes now, "firstLaunchAt" is set once,
// "launchCount" grows by one. Every date written is the same `now`.
// Returns false when the settings file could not be written.
bool recordLaunch(platform::Settings& settings, const QDateTime& now = QDateTime::currentDateTimeUtc());

}  // namespace kelvane::app
