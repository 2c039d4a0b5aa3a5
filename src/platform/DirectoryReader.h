// SPDX-License-Identifier: MIT
#pragma once

#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <ctime>
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
// `followLink` false a symbolic link at `path` itself is refused (ENOTDIR), so a
// folder swapped for a link while a walk runs is never entered. A folder whose
// path is longer than the host's path limit is still read (its components
// below the limit are opened one by one, never through a link).
// Returns 0, or an errno (ENOENT, ENOTDIR, EACCES, ...) with `out` empty.
int readDirectory(const std::filesystem::path& path, bool followLink, std::vector<DirectoryEntry>& out);
// The same, leaving the folder open in `folder` (on success) so that its
// entries can be asked about by name (lstatAt).
int readDirectory(const std::filesystem::path& path, bool followLink, std::vector<DirectoryEntry>& out,
                  UniqueFd& folder);

// The part of an entry's status that the platform's records never change:
// its type and modification time, in one call and without following a link.
// A walk uses it to pass over files by date before it reads the whole status
// (lstat) of the rest. Returns 0, or an errno.
struct EntryTimes {
    mode_t mode = 0;
    timespec mtime{};
};
int readEntryTimes(const std::filesystem::path& path, EntryTimes& out);

}  // namespace kelvane::platform
