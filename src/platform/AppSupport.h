#pragma once

#include <filesystem>
#include <system_error>

namespace kelvane::platform {

// The application-support folder: $XDG_DATA_HOME/Kelvane, or
// ~/.local/share/Kelvane when XDG_DATA_HOME is unset or not absolute. Read
// from the environment on every call (nothing cached), never created here.
std::filesystem::path applicationSupportDirectory();

// Same folder, created (mode 0700) when missing; empty path and `error` set
// on failure.
std::filesystem::path ensureApplicationSupportDirectory(std::error_code& error);

}  // namespace kelvane::platform
