// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace kelvane::app {

// The application's identity as set at build time. A value the build did not
// provide is absent, and each reader applies its own fallback.
struct BundleInfo {
    std::optional<std::string> shortVersion;  // e.g. "1.4.0"
    std::optional<std::string> buildNumber;   // e.g. "37"

    static BundleInfo main();
};

}  // namespace kelvane::app
