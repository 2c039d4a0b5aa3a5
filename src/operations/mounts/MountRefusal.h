// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace kelvane::operations {

// Why a registered item is not served by a live kelvanefs mount.
struct MountRefusal {
    enum class Kind {
        folderMissing,       // moved or deleted
        rootFolder,          // "/" itself
        homeFolder,          // the home folder or a folder above it
        fuseDeviceMissing,   // no /dev/fuse
        fuseDeviceDenied,    // this user may not use /dev/fuse
        fusermountMissing,   // no fusermount3
        fusermountFails,     // fusermount3 does not work
        otherUsersMount,     // inside another user's kelvanefs mount
        unreachable,         // the mount answers, but its socket does not
        deadMountStays,      // a dead mount of ours that could not be removed
        mountFailed,         // kelvanefs (or its unit) did not mount
        busy,                // another Kelvane kept the mount's lock too long
    };
    Kind kind = Kind::mountFailed;
    std::filesystem::path folder;
    std::string detail;  // what the host said, where it said something

    // The reason as the user reads it.
    std::string text() const;
    // What the window says when an item it just registered is refused.
    std::string registrationNotice() const;

    friend bool operator==(const MountRefusal&, const MountRefusal&) = default;
};

}  // namespace kelvane::operations
