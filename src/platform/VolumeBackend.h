// SPDX-License-Identifier: MIT
#pragma once

// The platform's volume services: the listing of mounted volumes with their
// resource values, statfs on a mount point, and the description of the disk
// behind a volume. `LinuxVolumeBackend` answers them from the mount table,
// statvfs and sysfs; tests put fixture trees or a fake in its place.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::platform {

// Bits of the statfs flags word, in the platform's layout.
inline constexpr std::uint32_t kMountReadOnly = 0x1;
inline constexpr std::uint32_t kMountSynchronous = 0x2;
inline constexpr std::uint32_t kMountNoExec = 0x4;
inline constexpr std::uint32_t kMountNoSuid = 0x8;
inline constexpr std::uint32_t kMountNoDev = 0x10;
inline constexpr std::uint32_t kMountAsync = 0x40;
inline constexpr std::uint32_t kMountLocal = 0x1000;
inline constexpr std::uint32_t kMountQuota = 0x2000;
inline constexpr std::uint32_t kMountRootFs = 0x4000;
inline constexpr std::uint32_t kMountDontBrowse = 0x100000;
inline constexpr std::uint32_t kMountAutomounted = 0x400000;
inline constexpr std::uint32_t kMountJournaled = 0x800000;
inline constexpr std::uint32_t kMountNoAtime = 0x10000000;

// The resource values of one volume; an empty optional is a value the system
// did not give.
struct VolumeResourceValues {
    std::optional<std::string> name;
    std::optional<std::string> localizedFormatDescription;
    std::optional<std::int64_t> totalCapacity;
    std::optional<std::int64_t> availableCapacity;
    std::optional<std::int64_t> availableCapacityForImportantUsage;
    std::optional<std::int64_t> availableCapacityForOpportunisticUsage;
    std::optional<std::int64_t> resourceCount;
    std::optional<bool> isRootFileSystem;
    std::optional<bool> isLocal;
    std::optional<bool> isInternal;
    std::optional<bool> isRemovable;
    std::optional<bool> isEjectable;
    std::optional<bool> isAutomounted;
    std::optional<bool> isEncrypted;
    std::optional<bool> isReadOnly;
    std::optional<bool> isBrowsable;
    std::optional<std::string> uuidString;
    std::optional<std::int64_t> subtype;
    std::optional<std::chrono::system_clock::time_point> creationDate;
    std::optional<std::int64_t> maximumFileSize;
    std::optional<bool> supportsCompression;
    std::optional<bool> supportsHardLinks;
    std::optional<bool> supportsSymbolicLinks;
    std::optional<bool> supportsJournaling;
    std::optional<bool> isJournaling;
    std::optional<bool> supportsSparseFiles;
    std::optional<bool> supportsZeroRuns;
    std::optional<bool> supportsCaseSensitiveNames;
    std::optional<bool> supportsCasePreservedNames;
    std::optional<bool> supportsRenaming;
    std::optional<bool> supportsAdvisoryFileLocking;
    std::optional<bool> supportsExtendedSecurity;
    std::optional<bool> supportsRootDirectoryDates;
    std::optional<bool> supportsVolumeSizes;
    std::optional<bool> supportsPersistentIDs;
    std::optional<bool> supportsFileCloning;
    std::optional<bool> supportsSwapRenaming;
    std::optional<bool> supportsExclusiveRenaming;
    std::optional<bool> supportsImmutableFiles;
    std::optional<bool> supportsAccessPermissions;
};

// What statfs reports for a mount point.
struct VolumeStatfs {
    std::string fsTypeName;
    std::string mountedFromName;
    std::uint32_t flags = 0;  // kMount* bits
    std::int64_t blockSize = 0;
    std::uint64_t totalBlocks = 0;
    std::uint64_t freeBlocks = 0;
};

// The description of the disk behind a volume, values as the system holds
// them (strings untrimmed).
struct DiskDescription {
    std::optional<std::string> deviceModel;
    std::optional<std::string> deviceVendor;
    std::optional<std::string> deviceProtocol;
    std::optional<std::string> deviceRevision;
    std::optional<std::string> mediaBSDName;
    std::optional<bool> mediaSolidState;
    std::optional<std::int64_t> mediaSize;
    std::optional<std::int64_t> mediaBlockSize;
    std::optional<bool> mediaWritable;
};

// Every call may block on the file system; call it away from the UI thread.
// Implementations are safe to use from several threads at once.
class VolumeBackend {
public:
    virtual ~VolumeBackend() = default;

    // Mount points of the mounted volumes, hidden ones skipped, in the
    // system's order; nothing when the system gives no list.
    virtual std::optional<std::vector<std::filesystem::path>> mountedVolumePaths() = 0;
    // Nothing when the values cannot be had (the volume went away).
    virtual std::optional<VolumeResourceValues> resourceValues(const std::filesystem::path& mountPoint) = 0;
    // Nothing when statfs fails.
    virtual std::optional<VolumeStatfs> statfs(const std::filesystem::path& mountPoint) = 0;
    // Nothing when the volume has no disk description.
    virtual std::optional<DiskDescription> diskDescription(const std::filesystem::path& mountPoint) = 0;
};

}  // namespace kelvane::platform
