// SPDX-License-Identifier: MIT
#include "platform/LinuxVolumeBackend.h"

#include "platform/FileSizeLimit.h"
#include "platform/FileSystemTraits.h"
#include "platform/KelvanefsMount.h"
#include "platform/MountTable.h"

#include <array>
#include <cstdint>
#include <utility>

namespace kelvane::platform {

namespace fs = std::filesystem;

namespace {

std::optional<VisibleMount> findMount(const fs::path& procRoot, const fs::path& mountPoint)
{
    const auto table = MountTable::read(procRoot);
    if (!table)
        return std::nullopt;
    auto mount = table->visibleMount(mountPoint);
    // A kelvanefs mount shows the files of the folder below it: the volume
    // is the file system that folder lies on (the mount it was made on).
    if (mount && mount->entry.fsType == kKelvanefsType) {
        for (const MountEntry& below : table->entries()) {
            if (below.mountId != mount->entry.parentId)
                continue;
            const fs::path point = mount->entry.mountPoint;
            mount->entry = below;
            mount->entry.mountPoint = point;
            mount->remote = MountTable::isRemoteFileSystem(below.fsType);
            break;
        }
    }
    return mount;
}

// Only local, always-present volumes get the probes that touch more than the
// volume's statistics.
ProbeDepth depthFor(const VisibleMount& mount)
{
    return mount.remote || mount.automounted ? ProbeDepth::spaceOnly : ProbeDepth::full;
}

bool isJournaling(const VisibleMount& mount, const std::optional<BlockDeviceFacts>& device, const fs::path& procRoot)
{
    const std::string& type = mount.entry.fsType;
    if (type == "xfs" || type == "jfs" || type == "reiserfs")
        return true;
    // ext3 and ext4 run a jbd2 journal only when the file system has one.
    if ((type == "ext3" || type == "ext4") && device) {
        std::error_code error;
        return fs::exists(procRoot / "fs" / "jbd2" / (device->name + "-8"), error);
    }
    return false;
}

bool hasQuota(const MountEntry& entry)
{
    for (const char* option : {"quota", "usrquota", "grpquota", "prjquota"})
        if (entry.hasOption(option))
            return true;
    return entry.optionValue("usrjquota").has_value() || entry.optionValue("grpjquota").has_value();
}

// Mount options and mount facts to the bits of the statfs flags word, one
// entry per bit. Linux has no notion of MNT_ASYNC (asynchronous writing is its
// default) or of MNT_DONTBROWSE (hidden mounts are not listed at all).
std::uint32_t flagsWord(const VisibleMount& mount, bool journaling)
{
    const MountEntry& entry = mount.entry;
    const std::array<std::pair<bool, std::uint32_t>, 11> table{{
        {entry.hasOption("ro"), kMountReadOnly},
        {entry.hasOption("sync"), kMountSynchronous},
        {entry.hasOption("noexec"), kMountNoExec},
        {entry.hasOption("nosuid"), kMountNoSuid},
        {entry.hasOption("nodev"), kMountNoDev},
        {hasQuota(entry), kMountQuota},
        {!mount.remote, kMountLocal},
        {entry.mountPoint == "/", kMountRootFs},
        {mount.automounted, kMountAutomounted},
        {journaling, kMountJournaled},
        {entry.hasOption("noatime"), kMountNoAtime},
    }};
    std::uint32_t word = 0;
    for (const auto& [set, bit] : table)
        if (set)
            word |= bit;
    return word;
}

std::optional<std::int64_t> bytes(std::uint64_t blocks, std::int64_t blockSize)
{
    std::uint64_t product = 0;
    if (blockSize < 0 || __builtin_mul_overflow(blocks, static_cast<std::uint64_t>(blockSize), &product) ||
        product > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt;
    return static_cast<std::int64_t>(product);
}

}  // namespace

LinuxVolumeBackend::LinuxVolumeBackend(VolumeRoots roots, MountPointProbe probe, std::chrono::milliseconds probeTimeLimit)
    : roots_(std::move(roots)),
      probe_(std::move(probe)),
      probeTimeLimit_(probeTimeLimit),
      devices_(roots_.sys, roots_.udevData)
{
}

std::optional<std::vector<fs::path>> LinuxVolumeBackend::mountedVolumePaths()
{
    const auto table = MountTable::read(roots_.proc);
    if (!table)
        return std::nullopt;
    std::vector<fs::path> paths;
    for (const VisibleMount& mount : table->visibleMounts())
        paths.push_back(mount.entry.mountPoint);
    return paths;
}

std::optional<LinuxVolumeBackend::MountedDevice> LinuxVolumeBackend::mounted(const fs::path& mountPoint) const
{
    auto mount = findMount(roots_.proc, mountPoint);
    if (!mount)
        return std::nullopt;
    auto device = devices_.describe(mount->entry.major, mount->entry.minor, mount->entry.source);
    return MountedDevice{std::move(*mount), std::move(device)};
}

namespace {

void addDevice(VolumeResourceValues& values, const BlockDeviceFacts& device)
{
    values.name = device.fsLabel;
    values.uuidString = device.fsUuid;
    values.isRemovable = device.removable.value_or(false);
    values.isEjectable = device.removable.value_or(false) || device.usb;
    values.isInternal = !*values.isEjectable && !device.virtualDevice;
    values.isEncrypted = device.encrypted;
}

void addTraits(VolumeResourceValues& values, const FileSystemTraits& traits)
{
    values.localizedFormatDescription = std::string(traits.formatDescription);
    values.supportsJournaling = traits.journaling;
    values.supportsSparseFiles = traits.sparseFiles;
    values.supportsCaseSensitiveNames = traits.caseSensitive;
    values.supportsCasePreservedNames = traits.casePreserved;
    values.supportsRenaming = traits.renamable;
    values.supportsAdvisoryFileLocking = traits.advisoryLocking;
    values.supportsRootDirectoryDates = traits.rootDirectoryDates;
    values.supportsPersistentIDs = traits.persistentIds;
    values.supportsFileCloning = traits.cloning;
    values.supportsSwapRenaming = traits.swapRenaming;
    values.supportsExclusiveRenaming = traits.exclusiveRenaming;
    values.supportsImmutableFiles = traits.immutableFiles;
    values.supportsAccessPermissions = traits.accessPermissions;
}

void addFacts(VolumeResourceValues& values, const MountPointFacts& facts, const std::string& fsType)
{
    if (facts.space) {
        const auto& space = *facts.space;
        values.totalCapacity = bytes(space.totalBlocks, space.blockSize);
        values.availableCapacity = bytes(space.availableBlocks, space.blockSize);
        if (space.files > 0 && space.files >= space.freeFiles)
            values.resourceCount = static_cast<std::int64_t>(space.files - space.freeFiles);
        values.supportsVolumeSizes = true;
    }
    values.supportsCompression = facts.userAttributes;
    values.supportsExtendedSecurity = facts.posixAcls;
    values.creationDate = facts.rootBirthTime;
    if (facts.linkMax)
        values.supportsHardLinks = *facts.linkMax > 1;
    values.supportsSymbolicLinks = facts.symbolicLinks;
    values.maximumFileSize =
        maximumFileSize(fsType, facts.fileSystemMagic, facts.fileSizeBits, facts.space ? facts.space->blockSize : 0);
}

}  // namespace

std::optional<VolumeResourceValues> LinuxVolumeBackend::resourceValues(const fs::path& mountPoint)
{
    const auto found = mounted(mountPoint);
    if (!found)
        return std::nullopt;
    const auto& [mount, device] = *found;
    const MountEntry& entry = mount.entry;
    VolumeResourceValues values;
    if (device)
        addDevice(values, *device);
    if (const auto traits = FileSystemTraits::of(entry.fsType))
        addTraits(values, *traits);
    values.isJournaling = isJournaling(mount, device, roots_.proc);
    values.isRootFileSystem = entry.mountPoint == "/";
    values.isLocal = !mount.remote;
    values.isAutomounted = mount.automounted;
    values.isReadOnly = entry.hasOption("ro");
    values.isBrowsable = true;
    if (const auto facts = probeWithin(probe_, mountPoint, depthFor(mount), probeTimeLimit_))
        addFacts(values, *facts, entry.fsType);
    return values;
}

std::optional<VolumeStatfs> LinuxVolumeBackend::statfs(const fs::path& mountPoint)
{
    const auto found = mounted(mountPoint);
    if (!found)
        return std::nullopt;
    const auto& [mount, device] = *found;
    VolumeStatfs result;
    result.fsTypeName = mount.entry.fsType;
    result.mountedFromName = mount.entry.source;
    result.flags = flagsWord(mount, isJournaling(mount, device, roots_.proc));
    // The type, source and flags come from the table and are always there;
    // the block figures stay 0 when the volume does not answer in time.
    if (const auto facts = probeWithin(probe_, mountPoint, ProbeDepth::spaceOnly, probeTimeLimit_); facts && facts->space) {
        result.blockSize = facts->space->blockSize;
        result.totalBlocks = facts->space->totalBlocks;
        result.freeBlocks = facts->space->freeBlocks;
    }
    return result;
}

std::optional<DiskDescription> LinuxVolumeBackend::diskDescription(const fs::path& mountPoint)
{
    const auto found = mounted(mountPoint);
    if (!found || !found->device)
        return std::nullopt;
    const auto& device = found->device;
    DiskDescription description;
    description.deviceModel = device->model;
    description.deviceVendor = device->vendor;
    description.deviceProtocol = device->protocol;
    description.deviceRevision = device->revision;
    description.mediaBSDName = device->name;
    if (device->rotational)
        description.mediaSolidState = !*device->rotational;
    description.mediaSize = device->size;
    description.mediaBlockSize = device->logicalBlockSize;
    if (device->readOnly)
        description.mediaWritable = !*device->readOnly;
    return description;
}

}  // namespace kelvane::platform
