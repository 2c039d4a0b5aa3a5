// SPDX-License-Identifier: MIT
#include "discovery/PackageTraversalPolicy.h"

#include "discovery/PathExtension.h"

namespace kelvane::discovery {

const std::set<std::string>& PackageTraversalPolicy::allowedPackageExtensions() {
    static const std::set<std::string> extensions{"xcarchive"};
    return extensions;
}

bool PackageTraversalPolicy::isAllowedComponent(std::string_view component) {
    return allowedPackageExtensions().contains(lowercasedPathExtension(component));
}

bool PackageTraversalPolicy::isInsideAllowedPackage(const std::filesystem::path& url) {
    for (const auto& component : url)
        if (isAllowedComponent(component.native())) return true;
    return false;
}

}  // namespace kelvane::discovery
