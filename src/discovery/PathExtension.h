// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace kelvane::discovery {

// The extension of one path component: the text after its last dot. A name
// without a dot, a name whose only dot is its first character (".profile"),
// and a name ending in a dot have none (""). The extension test of the search
// and the package rule both use this one definition.
std::string_view pathExtension(std::string_view component);

// Same, lowercased (ASCII letters only; extensions compared are ASCII).
std::string lowercasedPathExtension(std::string_view component);

}  // namespace kelvane::discovery
