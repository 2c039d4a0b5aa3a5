// SPDX-License-Identifier: MIT
#include "volumes/CompressionAvailabilityVerdict.h"
#include "volumes/StorageVolumeDetector.h"

#include <gtest/gtest.h>

#include <map>

namespace kelvane::volumes {
namespace {

using Health = platform::KelvanefsMountHealth;

// The backend of a machine with a folder of ext4 mounted by kelvanefs three
// times over: the dead mount answers nothing.
class MountedFolders : public platform::VolumeBackend {
public:
    std::optional<std::vector<std::filesystem::path>> mountedVolumePaths() override
    {
        return std::vector<std::filesystem::path>{"/", "/home/u/Live", "/home/u/Dead", "/home/u/NoSocket"};
    }
    std::optional<platform::VolumeResourceValues> resourceValues(const std::filesystem::path& p) override
    {
        if (p == "/home/u/Dead")
            return std::nullopt;
        platform::VolumeResourceValues values;
        values.isLocal = true;
        values.supportsCompression = true;
        return values;
    }
    std::optional<platform::VolumeStatfs> statfs(const std::filesystem::path& p) override
    {
        if (p == "/home/u/Dead")
            return std::nullopt;
        return platform::VolumeStatfs{"ext4", "/dev/sda1", 0, 4096, 10, 5};
    }
    std::optional<platform::DiskDescription> diskDescription(const std::filesystem::path&) override
    {
        return std::nullopt;
    }
};

platform::KelvanefsMountState state(const char* mountPoint, Health health)
{
    platform::KelvanefsMountState s;
    s.entry.mountPoint = mountPoint;
    s.entry.fsType = std::string(platform::kKelvanefsType);
    s.health = health;
    return s;
}

// A folder mounted with kelvanefs shows as that, with its state, not as the
// ext4 below "with compression available"; a dead one is still listed.
TEST(KelvanefsVolume, EachMountShowsItsStateAndOnlyALiveOneIsUsable)
{
    MountedFolders backend;
    const auto volumes = StorageVolumeDetector::detectVolumes(
        backend, {state("/home/u/Live", Health::live), state("/home/u/Dead", Health::dead),
                  state("/home/u/NoSocket", Health::socketMissing)});
    ASSERT_EQ(volumes.size(), 4u);
    EXPECT_EQ(volumes[0].kelvanefs, std::nullopt);
    EXPECT_EQ(volumes[1].kelvanefs, Health::live);
    EXPECT_EQ(volumes[2].kelvanefs, Health::dead);
    EXPECT_EQ(volumes[2].name, "Dead");
    EXPECT_EQ(volumes[3].kelvanefs, Health::socketMissing);

    ASSERT_TRUE(volumes[0].capabilities.supportsCompression);
    const CompressionAvailabilityVerdict plain(volumes[0]);
    const CompressionAvailabilityVerdict live(volumes[1]);
    const CompressionAvailabilityVerdict dead(volumes[2]);
    const CompressionAvailabilityVerdict noSocket(volumes[3]);
    EXPECT_EQ(plain.title, "利用できます");
    EXPECT_EQ(live.title, "kelvanefs で利用中");
    EXPECT_EQ(live.tint, CompressionAvailabilityVerdict::Tint::green);
    EXPECT_EQ(dead.title, "kelvanefs が応答しません");
    EXPECT_EQ(dead.tint, CompressionAvailabilityVerdict::Tint::red);
    EXPECT_EQ(noSocket.title, "kelvanefs のソケットがありません");
    EXPECT_EQ(noSocket.tint, CompressionAvailabilityVerdict::Tint::orange);

    // Live over a volume Kelvane cannot use: what lies below decides.
    StorageVolume readOnly = volumes[1];
    readOnly.isReadOnly = true;
    EXPECT_EQ(CompressionAvailabilityVerdict(readOnly).title, "利用できません");
}

}  // namespace
}  // namespace kelvane::volumes
