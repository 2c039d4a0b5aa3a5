// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace kelvane::discovery {

// Text comparison by Unicode canonical equivalence, so that a precomposed and
// a decomposed spelling of the same name ("é" as U+00E9 or "e" + U+0301) are
// one name. Input is UTF-8 as file names hold it; bytes that are not valid
// UTF-8 are kept as they stand and only ever equal themselves.
class CanonicalText {
public:
    // The canonical decomposition (NFD) of `utf8`, in UTF-8.
    static std::string decomposed(std::string_view utf8);

    static bool equal(std::string_view a, std::string_view b);

    // True when `text` begins with something canonically equal to `prefix`
    // and the split falls between two whole characters. Meant for prefixes
    // that end in a starter such as "/".
    static bool hasPrefix(std::string_view text, std::string_view prefix);
};

}  // namespace kelvane::discovery
