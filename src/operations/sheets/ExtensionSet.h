// SPDX-License-Identifier: MIT
#pragma once

#include <set>
#include <string>
#include <vector>

namespace kelvane::operations {

// The extensions of an include-only filter as the search compares them: each
// entry without its leading dots, lower-cased; entries left empty dropped.
// Inner dots and blanks stay ("tar.gz").
std::set<std::string> extensionSet(const std::vector<std::string>& extensions);

}  // namespace kelvane::operations
