// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace kelvane::discovery {

// The user's folders as the freedesktop base-directory and user-dirs rules
// place them. Read anew on every call; a variable that is unset or not an
// absolute path is ignored, as the rules say.

// $XDG_CACHE_HOME, else ~/.cache.
std::filesystem::path xdgCacheHome();
// $XDG_STATE_HOME, else ~/.local/state.
std::filesystem::path xdgStateHome();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path xdgConfigHome();
// $XDG_RUNTIME_DIR, else /run/user/<uid>.
std::filesystem::path xdgRuntimeDir();
// XDG_DOWNLOAD_DIR of <config>/user-dirs.dirs, else ~/Downloads. A folder
// set to the home folder itself means "none" there, so it falls back too.
std::filesystem::path xdgDownloadDir();

}  // namespace kelvane::discovery
