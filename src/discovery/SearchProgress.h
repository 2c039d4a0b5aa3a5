// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace kelvane::discovery {

// How far a search has got: entries examined (skipped packages not counted)
// and candidates accepted so far.
struct SearchProgress {
    std::int64_t scanned = 0;
    std::int64_t matched = 0;

    bool operator==(const SearchProgress&) const = default;
};

}  // namespace kelvane::discovery
