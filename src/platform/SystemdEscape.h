// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace kelvane::platform {

// A path as systemd writes it into a unit name ("systemd-escape --path"):
// slashes at either end dropped, the rest turned into "-", and every byte
// outside [A-Za-z0-9:_.] (and a leading ".") as "\xNN". "/" itself is "-".
std::string systemdEscapedPath(const std::filesystem::path& path);

// The instance of the kelvanefs@ user unit that mounts `folder`.
std::string kelvanefsUnitName(const std::filesystem::path& folder);

}  // namespace kelvane::platform
