// SPDX-License-Identifier: MIT
#include "discovery/XdgFolders.h"

#include "discovery/HomeFolder.h"
#include "discovery/StandardizedPath.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace kelvane::discovery {

namespace {

std::optional<std::filesystem::path> absoluteVariable(const char* name)
{
    if (const char* value = std::getenv(name); value != nullptr && value[0] == '/')
        return std::filesystem::path(value);
    return std::nullopt;
}

// One value of user-dirs.dirs: "$HOME/yyy" or "/yyy" in double quotes, with
// shell backslash escapes; anything else is not a folder.
std::optional<std::filesystem::path> userDirValue(std::string_view quoted, const std::filesystem::path& home)
{
    if (quoted.size() < 2 || quoted.front() != '"')
        return std::nullopt;
    std::string value;
    bool closed = false;
    for (std::size_t i = 1; i < quoted.size(); ++i) {
        const char c = quoted[i];
        if (c == '\\' && i + 1 < quoted.size()) {
            value += quoted[++i];
        } else if (c == '"') {
            closed = true;
            break;
        } else {
            value += c;
        }
    }
    if (!closed)
        return std::nullopt;
    if (value == "$HOME")
        return home;
    if (value.starts_with("$HOME/"))
        return home / value.substr(6);
    if (value.starts_with('/'))
        return std::filesystem::path(value);
    return std::nullopt;
}

}  // namespace

std::filesystem::path xdgCacheHome() { return absoluteVariable("XDG_CACHE_HOME").value_or(homeFolder() / ".cache"); }

std::filesystem::path xdgStateHome()
{
    return absoluteVariable("XDG_STATE_HOME").value_or(homeFolder() / ".local/state");
}

std::filesystem::path xdgConfigHome()
{
    return absoluteVariable("XDG_CONFIG_HOME").value_or(homeFolder() / ".config");
}

std::filesystem::path xdgRuntimeDir()
{
    return absoluteVariable("XDG_RUNTIME_DIR").value_or(std::filesystem::path("/run/user") / std::to_string(getuid()));
}

std::filesystem::path xdgDownloadDir()
{
    const std::filesystem::path home = homeFolder();
    std::optional<std::filesystem::path> found;
    std::ifstream file(xdgConfigHome() / "user-dirs.dirs");
    const std::string_view key = "XDG_DOWNLOAD_DIR=";
    for (std::string line; std::getline(file, line);) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || std::string_view(line).substr(start, key.size()) != key)
            continue;
        // The last assignment wins, as when the file is sourced.
        if (auto value = userDirValue(std::string_view(line).substr(start + key.size()), home))
            found = std::move(value);
    }
    if (found && normalizedPath(*found) != normalizedPath(home))
        return *found;
    return home / "Downloads";
}

}  // namespace kelvane::discovery
