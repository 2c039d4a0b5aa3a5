// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace kelvane::discovery {

// Packages are entered by the search and the folder counter only inside an
// archive bundle: when some component of the path has an allowed extension.
class PackageTraversalPolicy {
public:
    static const std::set<std::string>& allowedPackageExtensions();

    // Looks at names only, never at the disk; any letter case.
    static bool isInsideAllowedPackage(const std::filesystem::path& url);

    // The same test for one component.
    static bool isAllowedComponent(std::string_view component);
};

}  // namespace kelvane::discovery
