// SPDX-License-Identifier: MIT
#pragma once

#include "app/BundleInfo.h"

#include <string>

namespace kelvane::app {

// What the windows show of the application itself. The run mode and the
// store are not here: KelvaneApp decides and opens them once and hands them
// to whatever needs them.
struct AppContext {
    // "v<version> (build <build>)" for the main window's subtitle; a missing
    // value shows as "?".
    static std::string versionLabel(const BundleInfo& info = BundleInfo::main());
};

}  // namespace kelvane::app
