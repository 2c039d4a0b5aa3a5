// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace kelvane::discovery {

// The lexical clean-up every path comparison starts from: made absolute
// against the working folder, "." components dropped, ".." taking away the
// component before it (never climbing above "/"), repeated and trailing
// slashes removed. Symbolic links are never resolved.
std::filesystem::path standardizedPath(const std::filesystem::path& path);

// The text that path rules compare: the standardized path, with trailing "/"
// removed while at least two characters remain (so "/" stays "/").
std::string normalizedPath(const std::filesystem::path& path);

}  // namespace kelvane::discovery
