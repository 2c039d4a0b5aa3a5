// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace kelvane::platform {

// The application-support folder: $XDG_DATA_HOME/Kelvane, or
// ~/.local/share/Kelvane when XDG_DATA_HOME is unset or not absolute. Read
// from the environment on every call (nothing cached), never created here.
std::filesystem::path applicationSupportDirectory();

// Same folder, created (mode 0700) when missing; empty path and `error` set
// on failure.
std::filesystem::path ensureApplicationSupportDirectory(std::error_code& error);

// The log folder: $XDG_STATE_HOME/Kelvane, or ~/.local/state/Kelvane when
// XDG_STATE_HOME is unset or not absolute. Read afresh on every call.
std::filesystem::path logDirectory();

// Same folder, created (mode 0700, parents as needed) when missing; empty
// path and `error` set on failure.
std::filesystem::path ensureLogDirectory(std::error_code& error);

// `path` as people read it: the home folder `home` (trailing slashes ignored)
// shown as "~", so "<home>/a" reads "~/a" and "<home>" or "<home>/" reads "~".
// Only whole components count ("<home>-other" stays as it is), and a home of
// "/" or none abbreviates nothing.
std::string homeAbbreviated(std::string_view path, std::string_view home);

}  // namespace kelvane::platform
