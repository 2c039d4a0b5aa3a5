// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace kelvane::platform {

// What the file system at a mount point answers to live calls. Each call can
// hang for as long as a dead network server keeps it waiting.
struct MountPointFacts {
    struct Space {
        std::int64_t blockSize = 0;  // fundamental block size (f_frsize)
        std::uint64_t totalBlocks = 0;
        std::uint64_t freeBlocks = 0;
        std::uint64_t availableBlocks = 0;  // free blocks an unprivileged user may use
        std::uint64_t files = 0;
        std::uint64_t freeFiles = 0;
    };
    std::optional<Space> space;
    // Filled only by a full probe.
    std::optional<bool> userAttributes;  // "user." extended attributes accepted
    std::optional<bool> posixAcls;
    std::optional<std::chrono::system_clock::time_point> rootBirthTime;
    std::optional<std::uint64_t> fileSystemMagic;  // statfs f_type
    std::optional<long> fileSizeBits;
    std::optional<long> linkMax;
    std::optional<bool> symbolicLinks;
};

enum class ProbeDepth {
    spaceOnly,  // statvfs alone
    full,       // statvfs, the attribute and ACL probes, statx, pathconf
};

// Every probe only reads: nothing is created or changed on the volume.
using MountPointProbe = std::function<MountPointFacts(const std::filesystem::path& mountPoint, ProbeDepth depth)>;

// The probe over the host's calls.
MountPointProbe systemMountPointProbe();

// Runs `probe` on a thread of its own and waits at most `limit` for it. A probe
// that does not answer in time is left behind to finish (or hang) alone, and
// nothing comes back; the caller never joins it.
std::optional<MountPointFacts> probeWithin(const MountPointProbe& probe, const std::filesystem::path& mountPoint,
                                           ProbeDepth depth, std::chrono::milliseconds limit);

}  // namespace kelvane::platform
