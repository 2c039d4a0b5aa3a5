// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kelvane::operations {

// A failure's own words as the public part of a log line may carry them:
// every occurrence of one of `paths`, plain or as the failure's quoted text
// writes it, replaced by "<private>". Longer paths are masked first, so a
// file inside a masked folder leaves no more than its name behind.
std::string publicFailureText(std::string_view text, std::initializer_list<std::filesystem::path> paths);

}  // namespace kelvane::operations
