// SPDX-License-Identifier: MIT
#include "volumes/StorageVolumeDetector.h"

#include "platform/LinuxVolumeBackend.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace kelvane::volumes {

namespace {

using MountFlag = StorageVolume::MountFlag;

constexpr std::pair<MountFlag, std::uint32_t> kFlagBits[] = {
    {MountFlag::readOnly, platform::kMountReadOnly},
    {MountFlag::synchronous, platform::kMountSynchronous},
    {MountFlag::noExec, platform::kMountNoExec},
    {MountFlag::noSuid, platform::kMountNoSuid},
    {MountFlag::noDev, platform::kMountNoDev},
    {MountFlag::async, platform::kMountAsync},
    {MountFlag::dontBrowse, platform::kMountDontBrowse},
    {MountFlag::quota, platform::kMountQuota},
    {MountFlag::local, platform::kMountLocal},
    {MountFlag::rootfs, platform::kMountRootFs},
    {MountFlag::automounted, platform::kMountAutomounted},
    {MountFlag::journaled, platform::kMountJournaled},
    {MountFlag::noAtime, platform::kMountNoAtime},
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string lastPathComponent(const std::filesystem::path& url)
{
    // The root folder's last component is "/" itself.
    std::string text = url.native();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    if (text == "/")
        return text;
    return std::filesystem::path(text).filename().string();
}

}  // namespace

std::vector<StorageVolume> StorageVolumeDetector::detectVolumes(
    platform::VolumeBackend& backend, const std::vector<platform::KelvanefsMountState>& kelvanefsMounts)
{
    std::vector<StorageVolume> volumes;
    const auto urls = backend.mountedVolumePaths();
    if (!urls)
        return volumes;
    for (const auto& url : *urls) {
        const auto mount = std::find_if(kelvanefsMounts.begin(), kelvanefsMounts.end(),
                                        [&](const auto& state) { return state.entry.mountPoint == url; });
        std::optional<StorageVolume> volume = makeVolume(backend, url);
        if (mount == kelvanefsMounts.end()) {
            if (volume)
                volumes.push_back(std::move(*volume));
            continue;
        }
        if (!volume) {
            volume.emplace();
            volume->url = url;
            volume->name = lastPathComponent(url);
            volume->isLocal = true;
        }
        volume->kelvanefs = mount->health;
        volumes.push_back(std::move(*volume));
    }
    return volumes;
}

std::optional<StorageVolume> StorageVolumeDetector::makeVolume(platform::VolumeBackend& backend,
                                                               const std::filesystem::path& url)
{
    const auto values = backend.resourceValues(url);
    if (!values)
        return std::nullopt;
    const auto statfs = statfsInfo(backend, url);

    StorageVolume volume;
    volume.url = url;
    volume.name = values->name.value_or(lastPathComponent(url));
    volume.totalCapacity = values->totalCapacity.value_or(0);
    volume.availableCapacity = values->availableCapacity.value_or(0);
    volume.availableImportantUsage = values->availableCapacityForImportantUsage;
    volume.availableOpportunisticUsage = values->availableCapacityForOpportunisticUsage;
    volume.formatDescription = values->localizedFormatDescription;
    volume.subtype = values->subtype;
    volume.uuid = values->uuidString;
    volume.creationDate = values->creationDate;
    volume.resourceCount = values->resourceCount;
    volume.maximumFileSize = values->maximumFileSize;
    if (statfs) {
        volume.fileSystemType = statfs->fsType;
        volume.mountSource = statfs->mountSource;
        volume.mountFlags = statfs->mountFlags;
        volume.blockSize = statfs->blockSize;
        volume.totalBlocks = statfs->totalBlocks;
        volume.freeBlocks = statfs->freeBlocks;
    }
    volume.isLocal = values->isLocal.value_or(false);
    volume.isRoot = values->isRootFileSystem.value_or(false);
    volume.isInternal = values->isInternal.value_or(false);
    volume.isRemovable = values->isRemovable.value_or(false);
    volume.isEjectable = values->isEjectable.value_or(false);
    volume.isAutomounted = values->isAutomounted.value_or(false);
    volume.isEncrypted = values->isEncrypted.value_or(false);
    volume.isReadOnly = values->isReadOnly.value_or(false);
    volume.isBrowsable = values->isBrowsable.value_or(true);
    volume.capabilities = capabilities(*values);
    volume.hardware = hardwareInfo(backend, url);
    return volume;
}

std::optional<StorageVolumeDetector::StatfsResult> StorageVolumeDetector::statfsInfo(platform::VolumeBackend& backend,
                                                                                     const std::filesystem::path& url)
{
    const auto info = backend.statfs(url);
    if (!info)
        return std::nullopt;
    StatfsResult result;
    // The platform's fields are NUL-terminated character arrays.
    result.fsType = info->fsTypeName.substr(0, info->fsTypeName.find('\0'));
    result.mountSource = info->mountedFromName.substr(0, info->mountedFromName.find('\0'));
    result.mountFlags = mountFlags(info->flags);
    result.blockSize = info->blockSize;
    result.totalBlocks = info->totalBlocks;
    result.freeBlocks = info->freeBlocks;
    return result;
}

std::set<StorageVolume::MountFlag> StorageVolumeDetector::mountFlags(std::uint32_t flagsWord)
{
    std::set<MountFlag> flags;
    for (const auto& [flag, bit] : kFlagBits)
        if ((flagsWord & bit) != 0)
            flags.insert(flag);
    return flags;
}

StorageVolume::Capabilities StorageVolumeDetector::capabilities(const platform::VolumeResourceValues& values)
{
    StorageVolume::Capabilities c;
    c.supportsCompression = values.supportsCompression.value_or(false);
    c.supportsHardLinks = values.supportsHardLinks.value_or(false);
    c.supportsSymbolicLinks = values.supportsSymbolicLinks.value_or(false);
    c.supportsJournaling = values.supportsJournaling.value_or(false);
    c.isJournaling = values.isJournaling.value_or(false);
    c.supportsSparseFiles = values.supportsSparseFiles.value_or(false);
    c.supportsZeroRuns = values.supportsZeroRuns.value_or(false);
    c.supportsCaseSensitive = values.supportsCaseSensitiveNames.value_or(false);
    c.supportsCasePreserved = values.supportsCasePreservedNames.value_or(false);
    c.supportsRenaming = values.supportsRenaming.value_or(false);
    c.supportsAdvisoryFileLocking = values.supportsAdvisoryFileLocking.value_or(false);
    c.supportsExtendedSecurity = values.supportsExtendedSecurity.value_or(false);
    c.supportsRootDirectoryDates = values.supportsRootDirectoryDates.value_or(false);
    c.supportsVolumeSizes = values.supportsVolumeSizes.value_or(false);
    c.supportsPersistentIDs = values.supportsPersistentIDs.value_or(false);
    c.supportsCloning = values.supportsFileCloning.value_or(false);
    c.supportsSwapRenaming = values.supportsSwapRenaming.value_or(false);
    c.supportsExclusiveRenaming = values.supportsExclusiveRenaming.value_or(false);
    c.supportsImmutableFiles = values.supportsImmutableFiles.value_or(false);
    c.supportsAccessPermissions = values.supportsAccessPermissions.value_or(false);
    c.supportsFileProtection = false;  // no value is fetched for it
    return c;
}

std::optional<DiskHardwareInfo> StorageVolumeDetector::hardwareInfo(platform::VolumeBackend& backend,
                                                                    const std::filesystem::path& url)
{
    const auto description = backend.diskDescription(url);
    if (!description)
        return std::nullopt;
    return hardwareInfo(*description);
}

std::optional<DiskHardwareInfo> StorageVolumeDetector::hardwareInfo(const platform::DiskDescription& description)
{
    DiskHardwareInfo info;
    info.deviceModel = daDescriptionString(description.deviceModel);
    info.deviceVendor = daDescriptionString(description.deviceVendor);
    info.deviceProtocol = daDescriptionString(description.deviceProtocol);
    info.deviceRevision = daDescriptionString(description.deviceRevision);
    info.bsdName = description.mediaBSDName;
    info.isSolidState = isSolidState(description);
    info.mediaSize = description.mediaSize;
    info.mediaBlockSize = description.mediaBlockSize;
    info.isWritable = description.mediaWritable;
    return info;
}

std::optional<std::string> StorageVolumeDetector::daDescriptionString(const std::optional<std::string>& value)
{
    if (!value)
        return std::nullopt;
    const auto first = std::find_if_not(value->begin(), value->end(), isSpace);
    const auto last = std::find_if_not(value->rbegin(), value->rend(), isSpace).base();
    if (first >= last)
        return std::nullopt;
    return std::string(first, last);
}

std::optional<bool> StorageVolumeDetector::isSolidState(const platform::DiskDescription& description)
{
    if (description.mediaSolidState)
        return *description.mediaSolidState;
    std::string protocol = description.deviceProtocol.value_or("");
    std::transform(protocol.begin(), protocol.end(), protocol.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* token : {"apple fabric", "nvme", "pci"})
        if (protocol.find(token) != std::string::npos)
            return true;
    return std::nullopt;
}

VolumeLister volumeLister(std::shared_ptr<platform::VolumeBackend> backend)
{
    return [backend = std::move(backend)] {
        return StorageVolumeDetector::detectVolumes(*backend, platform::kelvanefsMountStates());
    };
}

VolumeLister systemVolumeLister()
{
    return volumeLister(std::make_shared<platform::LinuxVolumeBackend>());
}

}  // namespace kelvane::volumes
