// SPDX-License-Identifier: MIT
#pragma once

namespace kelvane::platform {

// Levels with the values the read-back reports (the export names them
// DEBUG, INFO, NOTICE, ERROR, FAULT; anything else is unknown).
enum class LogLevel : int {
    undefined = 0,
    debug = 1,
    info = 2,
    notice = 3,  // the default level
    error = 4,
    fault = 5,
};

}  // namespace kelvane::platform
