// SPDX-License-Identifier: MIT
#pragma once

#include "platform/KelvanefsMount.h"
#include "platform/VolumeBackend.h"
#include "volumes/StorageVolume.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kelvane::volumes {

// Builds one StorageVolume per mounted volume from the platform's volume
// services. Stateless; every call asks the backend again and may block on the
// file system, so it is called away from the UI thread.
class StorageVolumeDetector {
public:
    struct StatfsResult {
        std::string fsType;
        std::string mountSource;
        std::set<StorageVolume::MountFlag> mountFlags;
        std::int64_t blockSize = 0;
        std::uint64_t totalBlocks = 0;
        std::uint64_t freeBlocks = 0;
    };

    StorageVolumeDetector() = delete;

    // In the backend's order; volumes whose resource values cannot be had are
    // left out, except a `kelvanefs` mount among `kelvanefsMounts`, which is
    // listed with what is known of it (a dead one answers nothing). Never
    // fails: no list gives an empty one.
    static std::vector<StorageVolume> detectVolumes(
        platform::VolumeBackend& backend, const std::vector<platform::KelvanefsMountState>& kelvanefsMounts = {});

    static std::optional<StatfsResult> statfsInfo(platform::VolumeBackend& backend, const std::filesystem::path& url);
    // The recognised bits of a statfs flags word, tested in the flags' declaration order.
    static std::set<StorageVolume::MountFlag> mountFlags(std::uint32_t flagsWord);
    static StorageVolume::Capabilities capabilities(const platform::VolumeResourceValues& values);
    static std::optional<DiskHardwareInfo> hardwareInfo(platform::VolumeBackend& backend, const std::filesystem::path& url);
    static std::optional<DiskHardwareInfo> hardwareInfo(const platform::DiskDescription& description);
    // Trimmed of white space and newlines at both ends; empty gives nothing.
    static std::optional<std::string> daDescriptionString(const std::optional<std::string>& value);
    // The medium's own report wins; otherwise a flash-only bus in the protocol
    // text means solid state. Never answers false from the protocol text.
    static std::optional<bool> isSolidState(const platform::DiskDescription& description);

private:
    static std::optional<StorageVolume> makeVolume(platform::VolumeBackend& backend, const std::filesystem::path& url);
};

// The volumes of this machine, for the storage window: a callable that may be
// run on any thread and outlive the window that holds it.
using VolumeLister = std::function<std::vector<StorageVolume>()>;
VolumeLister volumeLister(std::shared_ptr<platform::VolumeBackend> backend);
VolumeLister systemVolumeLister();

}  // namespace kelvane::volumes
