// SPDX-License-Identifier: MIT
#include "platform/AppSupport.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kelvane::platform {

namespace {

std::filesystem::path homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::filesystem::path ensureFolder(const std::filesystem::path& folder, std::error_code& error)
{
    error.clear();
    if (std::filesystem::is_directory(folder, error))
        return folder;
    std::filesystem::create_directories(folder, error);
    if (error)
        return {};
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    if (error)
        return {};
    return folder;
}

}  // namespace

std::filesystem::path applicationSupportDirectory()
{
    // XDG says a relative XDG_DATA_HOME is invalid and must be ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return std::filesystem::path(data) / "Kelvane";
    return homeDirectory() / ".local/share/Kelvane";
}

std::filesystem::path ensureApplicationSupportDirectory(std::error_code& error)
{
    return ensureFolder(applicationSupportDirectory(), error);
}

std::filesystem::path logDirectory()
{
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::filesystem::path(state) / "Kelvane";
    return homeDirectory() / ".local/state/Kelvane";
}

std::filesystem::path ensureLogDirectory(std::error_code& error) { return ensureFolder(logDirectory(), error); }

std::string homeAbbreviated(std::string_view path, std::string_view home)
{
    while (home.size() > 1 && home.ends_with('/'))
        home.remove_suffix(1);
    // A home of "/" would turn every path into "~...", which helps nobody.
    if (home.size() <= 1 || !path.starts_with(home))
        return std::string(path);
    const std::string_view rest = path.substr(home.size());
    if (rest.empty() || rest == "/")
        return "~";
    if (rest.starts_with('/'))
        return "~" + std::string(rest);
    return std::string(path);
}

}  // namespace kelvane::platform
