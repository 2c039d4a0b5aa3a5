// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace kelvane::discovery {

// How a registered item is remembered: by bookmark data, resolved again
// whenever the item is used. Neither call starts or stops access, and neither
// renews a stale bookmark; both are the caller's decisions.
class SecurityScopedBookmark {
public:
    struct Resolved {
        std::filesystem::path url;
        bool isStale = false;
        bool operator==(const Resolved&) const = default;
    };

    // Throws BookmarkError::creationFailed.
    static std::vector<std::uint8_t> createBookmark(const std::filesystem::path& url);
    // Throws BookmarkError::resolutionFailed.
    static Resolved resolveBookmark(std::span<const std::uint8_t> data);
};

}  // namespace kelvane::discovery
