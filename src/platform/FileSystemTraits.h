// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::platform {

// What a file-system type can do by its design, for the types a Linux desktop
// meets. Probes on the mounted volume answer the rest (user attributes, ACLs,
// hard and symbolic links).
struct FileSystemTraits {
    std::string_view formatDescription;
    bool journaling = false;     // keeps a metadata journal
    bool sparseFiles = false;
    bool caseSensitive = false;
    bool casePreserved = false;
    bool renamable = false;      // the volume label can be changed
    bool advisoryLocking = false;
    bool rootDirectoryDates = false;
    bool persistentIds = false;  // inode numbers survive a remount
    bool cloning = false;        // reflink copies
    bool swapRenaming = false;   // renameat2 RENAME_EXCHANGE
    bool exclusiveRenaming = false;  // renameat2 RENAME_NOREPLACE
    bool immutableFiles = false; // chattr +i
    bool accessPermissions = false;  // owner and mode bits of its own

    // Nothing for a type the table does not know.
    static std::optional<FileSystemTraits> of(std::string_view fsType);
};

}  // namespace kelvane::platform
