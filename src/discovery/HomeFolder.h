// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace kelvane::discovery {

// The home folder of the user running the process: $HOME when set and
// absolute, else the password database's entry. Read anew on every call.
std::filesystem::path homeFolder();

}  // namespace kelvane::discovery
