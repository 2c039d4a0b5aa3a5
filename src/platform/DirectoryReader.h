#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kelvane::platform {

// One name in a directory, with the type the directory itself records (no
// stat needed). `unknown` when the file system does not record types; the
// caller then asks lstat.
struct DirectoryEntry {
    enum class Type { unknown, regular, directory, symbolicLink, other };
    std::string name;
    Type type = Type::unknown;
};

// Reads every entry of a directory except "." and ".." in the order the file
// system returns them, a large block of entries per system call. With
// `followLink` false a symbolic link at `path` itself is refused (ELOOP), so a
// folder swapped for a link while a walk runs is never entered.
// Returns 0, or an errno (ENOENT, ENOTDIR, EACCES, ...) with `out` empty.
int readDirectory(const std::filesystem::path& path, bool followLink, std::vector<DirectoryEntry>& out);

}  // namespace kelvane::platform
