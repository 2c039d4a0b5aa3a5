// SPDX-License-Identifier: MIT
#include "discovery/ExtensionFilter.h"

namespace kelvane::discovery {

bool ExtensionFilter::accepts(const std::string& lowercasedExtension) const {
    if (const auto* only = std::get_if<includeOnly>(&value_)) return only->extensions.contains(lowercasedExtension);
    return !std::get<exclude>(value_).extensions.contains(lowercasedExtension);
}

}  // namespace kelvane::discovery
