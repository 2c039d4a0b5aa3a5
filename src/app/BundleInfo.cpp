// SPDX-License-Identifier: MIT
#include "app/BundleInfo.h"

#include "KelvaneVersion.h"

namespace kelvane::app {

namespace {

std::optional<std::string> present(const char* value)
{
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::string(value);
}

}  // namespace

BundleInfo BundleInfo::main()
{
    return BundleInfo{present(KELVANE_VERSION), present(KELVANE_BUILD)};
}

}  // namespace kelvane::app
