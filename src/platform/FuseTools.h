// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::platform {

// The pieces of the host that FUSE mounts need: the kernel's device and
// fusermount3, which mounts and unmounts for a user who is not root.
struct FuseTools {
    std::filesystem::path device = "/dev/fuse";
    std::filesystem::path fusermount = "fusermount3";  // a bare name is looked up on PATH

    // The defaults, with KELVANE_FUSE_DEVICE and KELVANE_FUSERMOUNT in their
    // place when set. Whatever they name is only checked and, for
    // fusermount3, asked to unmount; every mount and unmount is confirmed in
    // the mount table afterwards, so they can make mounting fail, never
    // make it look done.
    static FuseTools fromEnvironment();
};

// What keeps FUSE mounts from being made here.
struct FuseProblem {
    enum class Kind {
        deviceMissing,      // no such device
        deviceNotUsable,    // there, but this user may not open it
        fusermountMissing,  // cannot be run
        fusermountFails,    // runs, but does not answer `-V` with success
    };
    Kind kind = Kind::deviceMissing;
    std::string detail;  // the path, or what fusermount3 said
};

// Looks at the device and runs `fusermount3 -V` (a few seconds at most).
std::optional<FuseProblem> fuseProblem(const FuseTools& tools);

// `fusermount3 -u` (lazily with -z: the mount goes at once from the name
// space, and from the kernel once nothing uses it any more). The failure,
// as fusermount3 tells it, or nothing.
std::optional<std::string> unmountFuse(const FuseTools& tools, const std::filesystem::path& mountPoint, bool lazily);

}  // namespace kelvane::platform
