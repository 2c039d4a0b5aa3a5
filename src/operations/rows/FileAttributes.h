// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace kelvane::operations {

// The modification date and (when asked for) the logical size of a path,
// read in one request; both absent when the path cannot be read.
struct FileAttributes {
    std::optional<std::chrono::system_clock::time_point> modificationDate;
    std::optional<std::uint64_t> size;
};

FileAttributes readFileAttributes(const std::filesystem::path& url, bool isFile);

// The stars a file name's extension promises (0 to 5).
int starsForFileName(const std::filesystem::path& url);

// What a file's extension says about it, for the stars' tool tip: its
// category's name and the ratio that category usually reaches.
struct ExtensionExpectation {
    std::string_view categoryName;
    std::string_view expectedRatio;
};
ExtensionExpectation extensionExpectation(const std::filesystem::path& url);

}  // namespace kelvane::operations
