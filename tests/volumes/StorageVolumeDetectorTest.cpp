// SPDX-License-Identifier: MIT
#include "platform/LinuxVolumeBackend.h"
#include "volumes/CompressionAvailabilityVerdict.h"
#include "volumes/StorageVolumeDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sys/statvfs.h>

namespace kelvane::volumes {
namespace {

using MountFlag = StorageVolume::MountFlag;

class FakeBackend : public platform::VolumeBackend {
public:
    std::optional<std::vector<std::filesystem::path>> paths;
    std::map<std::filesystem::path, platform::VolumeResourceValues> values;
    std::map<std::filesystem::path, platform::VolumeStatfs> statfsResults;
    std::map<std::filesystem::path, platform::DiskDescription> descriptions;

    std::optional<std::vector<std::filesystem::path>> mountedVolumePaths() override { return paths; }
    std::optional<platform::VolumeResourceValues> resourceValues(const std::filesystem::path& p) override
    {
        const auto it = values.find(p);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<platform::VolumeStatfs> statfs(const std::filesystem::path& p) override
    {
        const auto it = statfsResults.find(p);
        return it == statfsResults.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<platform::DiskDescription> diskDescription(const std::filesystem::path& p) override
    {
        const auto it = descriptions.find(p);
        return it == descriptions.end() ? std::nullopt : std::optional(it->second);
    }
};

TEST(StorageVolumeDetector, KeepsOrderAndFallsBackPerMissingValue)
{
    FakeBackend backend;
    EXPECT_TRUE(StorageVolumeDetector::detectVolumes(backend).empty());  // no list at all

    backend.paths = std::vector<std::filesystem::path>{"/b", "/gone", "/a", "/"};
    backend.values["/b"].name = "Data";
    backend.values["/b"].isBrowsable = false;
    backend.values["/a"] = {};
    backend.values["/"] = {};
    backend.statfsResults["/b"] = {std::string("ext4\0junk", 9), "/dev/sda1", platform::kMountReadOnly, 4096, 10, 5};

    const auto volumes = StorageVolumeDetector::detectVolumes(backend);
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].url, "/b");
    EXPECT_EQ(volumes[1].url, "/a");
    EXPECT_EQ(volumes[2].url, "/");

    EXPECT_EQ(volumes[0].name, "Data");
    EXPECT_EQ(volumes[0].fileSystemType, "ext4");  // read up to the NUL, as the platform's field
    EXPECT_EQ(volumes[0].mountFlags, std::set<MountFlag>{MountFlag::readOnly});
    EXPECT_FALSE(volumes[0].isBrowsable);

    // Without resource values and statfs every field takes its stated default.
    const StorageVolume& bare = volumes[1];
    EXPECT_EQ(bare.name, "a");
    EXPECT_EQ(volumes[2].name, "/");
    EXPECT_EQ(bare.fileSystemType, "unknown");
    EXPECT_EQ(bare.mountSource, std::nullopt);
    EXPECT_TRUE(bare.mountFlags.empty());
    EXPECT_EQ(bare.blockSize, 0);
    EXPECT_EQ(bare.totalBlocks, 0u);
    EXPECT_EQ(bare.totalCapacity, 0);
    EXPECT_TRUE(bare.isBrowsable);
    EXPECT_FALSE(bare.isLocal);
    EXPECT_FALSE(bare.hardware);
    EXPECT_EQ(bare.capabilities, StorageVolume::Capabilities{});
}

TEST(StorageVolumeDetector, FlagWordBitsMapByTheTableAndUnknownBitsAreIgnored)
{
    EXPECT_TRUE(StorageVolumeDetector::mountFlags(0).empty());
    EXPECT_EQ(StorageVolumeDetector::mountFlags(0x80000000u | 0x20u | 0x1u | 0x800000u),
              (std::set<MountFlag>{MountFlag::readOnly, MountFlag::journaled}));
    const std::pair<std::uint32_t, MountFlag> table[] = {
        {0x1, MountFlag::readOnly},       {0x2, MountFlag::synchronous}, {0x4, MountFlag::noExec},
        {0x8, MountFlag::noSuid},         {0x10, MountFlag::noDev},      {0x40, MountFlag::async},
        {0x100000, MountFlag::dontBrowse}, {0x2000, MountFlag::quota},    {0x1000, MountFlag::local},
        {0x4000, MountFlag::rootfs},      {0x400000, MountFlag::automounted}, {0x800000, MountFlag::journaled},
        {0x10000000, MountFlag::noAtime},
    };
    std::uint32_t all = 0;
    for (const auto& [bit, flag] : table) {
        EXPECT_EQ(StorageVolumeDetector::mountFlags(bit), std::set<MountFlag>{flag}) << bit;
        all |= bit;
    }
    EXPECT_EQ(StorageVolumeDetector::mountFlags(0xFFFFFFFFu).size(), 13u);
    EXPECT_EQ(StorageVolumeDetector::mountFlags(~all).size(), 0u);
}

TEST(StorageVolumeDetector, HardwareStringsAreTrimmedAndSolidStateFollowsTheMediumFirst)
{
    EXPECT_EQ(StorageVolumeDetector::daDescriptionString(std::string(" \n\t ")), std::nullopt);
    EXPECT_EQ(StorageVolumeDetector::daDescriptionString(std::string("")), std::nullopt);
    EXPECT_EQ(StorageVolumeDetector::daDescriptionString(std::nullopt), std::nullopt);
    EXPECT_EQ(StorageVolumeDetector::daDescriptionString(std::string("\n WD Blue \r\n")), "WD Blue");

    platform::DiskDescription d;
    d.mediaBSDName = "sda1  ";
    d.deviceModel = "  \n";
    d.deviceProtocol = "NVMe";
    d.mediaSolidState = false;
    auto info = StorageVolumeDetector::hardwareInfo(d);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->bsdName, "sda1  ");  // the device name is taken as it is
    EXPECT_EQ(info->deviceModel, std::nullopt);
    EXPECT_EQ(info->isSolidState, false);  // the medium's report beats "nvme" in the protocol

    d.mediaSolidState.reset();
    EXPECT_EQ(StorageVolumeDetector::isSolidState(d), true);
    d.deviceProtocol = "PCI-Express";
    EXPECT_EQ(StorageVolumeDetector::isSolidState(d), true);
    for (const char* fabric : {"Apple Fabric", "APPLE FABRIC", "apple fabric bus"}) {
        d.deviceProtocol = fabric;
        EXPECT_EQ(StorageVolumeDetector::isSolidState(d), true) << fabric;
    }
    d.deviceProtocol = "Apple";  // not the whole token
    EXPECT_EQ(StorageVolumeDetector::isSolidState(d), std::nullopt);
    d.deviceProtocol = "Fabric";
    EXPECT_EQ(StorageVolumeDetector::isSolidState(d), std::nullopt);
    d.deviceProtocol = "SATA";
    EXPECT_EQ(StorageVolumeDetector::isSolidState(d), std::nullopt);  // never false from the text
    d.deviceProtocol.reset();
    EXPECT_EQ(StorageVolumeDetector::isSolidState(d), std::nullopt);

    // A description whose fields are all missing is still hardware, with nothing in it.
    info = StorageVolumeDetector::hardwareInfo(platform::DiskDescription{});
    ASSERT_TRUE(info);
    EXPECT_EQ(*info, DiskHardwareInfo{});
}

// The machine the tests run on: its root volume, measured against statvfs.
TEST(StorageVolumeDetector, RealRootVolumeMatchesStatvfs)
{
    const auto volumes = systemVolumeLister()();
    const auto root = std::find_if(volumes.begin(), volumes.end(), [](const StorageVolume& v) { return v.url == "/"; });
    ASSERT_NE(root, volumes.end());
    EXPECT_TRUE(root->isRoot);
    EXPECT_TRUE(root->mountFlags.count(MountFlag::rootfs));

    struct statvfs info {};
    ASSERT_EQ(::statvfs("/", &info), 0);
    EXPECT_EQ(root->totalCapacity, static_cast<std::int64_t>(info.f_blocks * info.f_frsize));
    const double expectedShare = 1.0 - static_cast<double>(info.f_bavail) / static_cast<double>(info.f_blocks);
    const double share = static_cast<double>(root->usedCapacity()) / static_cast<double>(root->totalCapacity);
    EXPECT_NEAR(share, expectedShare, 0.005);  // other programs write meanwhile

    if (!CompressionAvailabilityVerdict::isSupportedFileSystem(root->fileSystemType))
        GTEST_SKIP() << "root file system is " << root->fileSystemType;
    EXPECT_TRUE(root->capabilities.supportsCompression);
    EXPECT_EQ(CompressionAvailabilityVerdict(*root).title, "利用できます");
}

}  // namespace
}  // namespace kelvane::volumes
