// SPDX-License-Identifier: MIT
#pragma once

#include "platform/KelvanefsMount.h"
#include "volumes/DiskHardwareInfo.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace kelvane::volumes {

// One mounted volume as the system saw it at one moment. A snapshot: nothing
// updates it in place; a refresh replaces the whole list.
struct StorageVolume {
    enum class MountFlag {
        readOnly,
        synchronous,
        noExec,
        noSuid,
        noDev,
        async,
        dontBrowse,
        quota,
        local,
        rootfs,
        automounted,
        journaled,
        noAtime,
    };

    struct Capabilities {
        bool supportsCompression = false;
        bool supportsHardLinks = false;
        bool supportsSymbolicLinks = false;
        bool supportsJournaling = false;
        bool isJournaling = false;
        bool supportsSparseFiles = false;
        bool supportsZeroRuns = false;
        bool supportsCaseSensitive = false;
        bool supportsCasePreserved = false;
        bool supportsRenaming = false;
        bool supportsAdvisoryFileLocking = false;
        bool supportsExtendedSecurity = false;
        bool supportsRootDirectoryDates = false;
        bool supportsVolumeSizes = false;
        bool supportsPersistentIDs = false;
        bool supportsCloning = false;
        bool supportsSwapRenaming = false;
        bool supportsExclusiveRenaming = false;
        bool supportsImmutableFiles = false;
        bool supportsAccessPermissions = false;
        bool supportsFileProtection = false;

        bool operator==(const Capabilities&) const = default;
    };

    std::filesystem::path url;
    std::string name;
    std::int64_t totalCapacity = 0;
    std::int64_t availableCapacity = 0;
    std::optional<std::int64_t> availableImportantUsage;
    std::optional<std::int64_t> availableOpportunisticUsage;
    std::string fileSystemType = "unknown";
    std::optional<std::string> formatDescription;
    std::optional<std::int64_t> subtype;
    std::optional<std::string> uuid;
    std::optional<std::chrono::system_clock::time_point> creationDate;
    std::optional<std::string> mountSource;
    std::set<MountFlag> mountFlags;
    std::int64_t blockSize = 0;
    std::uint64_t totalBlocks = 0;
    std::uint64_t freeBlocks = 0;
    std::optional<std::int64_t> resourceCount;
    std::optional<std::int64_t> maximumFileSize;
    bool isLocal = false;
    bool isRoot = false;
    bool isInternal = false;
    bool isRemovable = false;
    bool isEjectable = false;
    bool isAutomounted = false;
    bool isEncrypted = false;
    bool isReadOnly = false;
    bool isBrowsable = true;
    Capabilities capabilities;
    std::optional<DiskHardwareInfo> hardware;
    // A `kelvanefs` mount of this user and how it is doing; nothing for any
    // other volume. Its figures and type are those of the file system below.
    std::optional<platform::KelvanefsMountHealth> kelvanefs;

    // The identity of the volume in the window's list.
    const std::filesystem::path& id() const { return url; }

    // Total minus available, never below 0.
    std::int64_t usedCapacity() const;

    bool operator==(const StorageVolume&) const = default;
};

// Every mount flag, in declaration order.
inline constexpr StorageVolume::MountFlag kAllMountFlags[] = {
    StorageVolume::MountFlag::readOnly,    StorageVolume::MountFlag::synchronous,
    StorageVolume::MountFlag::noExec,      StorageVolume::MountFlag::noSuid,
    StorageVolume::MountFlag::noDev,       StorageVolume::MountFlag::async,
    StorageVolume::MountFlag::dontBrowse,  StorageVolume::MountFlag::quota,
    StorageVolume::MountFlag::local,       StorageVolume::MountFlag::rootfs,
    StorageVolume::MountFlag::automounted, StorageVolume::MountFlag::journaled,
    StorageVolume::MountFlag::noAtime,
};

// The case name, spelled exactly ("readOnly").
std::string_view rawValue(StorageVolume::MountFlag flag);
// The flag whose raw value is exactly `raw` (case-sensitive); nothing otherwise.
std::optional<StorageVolume::MountFlag> mountFlagFromRawValue(std::string_view raw);

}  // namespace kelvane::volumes
