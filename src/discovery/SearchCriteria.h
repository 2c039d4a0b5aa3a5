// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ExtensionFilter.h"
#include "discovery/FileCandidate.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace kelvane::discovery {

// What a file-system search looks for. Whoever builds one sets every field.
struct SearchCriteria {
    std::filesystem::path rootURL;
    bool recursive = true;
    std::optional<std::chrono::system_clock::time_point> modifiedBefore;  // inclusive
    std::optional<std::uint64_t> minSize;                                 // inclusive
    std::optional<std::uint64_t> maxSize;                                 // inclusive
    std::optional<ExtensionFilter> extensionFilter;
    bool excludeAlreadyCompressed = false;
    bool excludeHidden = false;

    // Whether a candidate is a match, from the candidate's values alone.
    bool matches(const FileCandidate& candidate) const;

    bool operator==(const SearchCriteria&) const = default;
};

}  // namespace kelvane::discovery
