// SPDX-License-Identifier: MIT
#pragma once

#include "platform/BlockDeviceChain.h"
#include "platform/MountPointProbe.h"
#include "platform/MountTable.h"
#include "platform/VolumeBackend.h"

#include <chrono>
#include <filesystem>
#include <optional>

namespace kelvane::platform {

// Where the backend reads the kernel's view; tests point these at fixture trees.
struct VolumeRoots {
    std::filesystem::path proc = "/proc";
    std::filesystem::path sys = "/sys";
    std::filesystem::path udevData = "/run/udev/data";
};

// The volume services over the mount table, sysfs and live probes of each
// mount point. The table and sysfs are read afresh on every call. Probes run
// under a time limit on threads that are left behind when they do not answer:
// their values then read as missing. Network and automounted volumes get only
// the space probe (statvfs); autofs triggers are never touched.
class LinuxVolumeBackend final : public VolumeBackend {
public:
    static constexpr std::chrono::milliseconds kDefaultProbeTimeLimit{1500};

    explicit LinuxVolumeBackend(VolumeRoots roots = {}, MountPointProbe probe = systemMountPointProbe(),
                                std::chrono::milliseconds probeTimeLimit = kDefaultProbeTimeLimit);

    std::optional<std::vector<std::filesystem::path>> mountedVolumePaths() override;
    std::optional<VolumeResourceValues> resourceValues(const std::filesystem::path& mountPoint) override;
    std::optional<VolumeStatfs> statfs(const std::filesystem::path& mountPoint) override;
    std::optional<DiskDescription> diskDescription(const std::filesystem::path& mountPoint) override;

private:
    // The mount at a point (the one below a kelvanefs mount) and its device, if known.
    struct MountedDevice {
        VisibleMount mount;
        std::optional<BlockDeviceFacts> device;
    };
    std::optional<MountedDevice> mounted(const std::filesystem::path& mountPoint) const;

    VolumeRoots roots_;
    MountPointProbe probe_;
    std::chrono::milliseconds probeTimeLimit_;
    BlockDeviceChain devices_;
};

}  // namespace kelvane::platform
