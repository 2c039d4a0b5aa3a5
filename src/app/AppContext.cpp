// SPDX-License-Identifier: MIT
#include "app/AppContext.h"

namespace kelvane::app {

std::string AppContext::versionLabel(const BundleInfo& info)
{
    return "v" + info.shortVersion.value_or("?") + " (build " + info.buildNumber.value_or("?") + ")";
}

}  // namespace kelvane::app
