// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace kelvane::discovery {

// Stands for a modification date the file system did not report: earlier than
// any real date.
inline constexpr std::chrono::system_clock::time_point kDistantPast = std::chrono::system_clock::time_point::min();

// A regular file found by the search.
struct FileCandidate {
    std::filesystem::path url;  // as the walk produced it under the root
    std::uint64_t size = 0;     // logical bytes
    std::chrono::system_clock::time_point modificationDate = kDistantPast;
    bool isHidden = false;  // the file's own flag, not its folders'
    bool isAlreadyCompressed = false;

    bool operator==(const FileCandidate&) const = default;
};

}  // namespace kelvane::discovery
