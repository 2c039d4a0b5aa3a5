// SPDX-License-Identifier: MIT
#include "platform/FileSizeLimit.h"
#include "platform/LinuxVolumeBackend.h"
#include "volumes/CompressionAvailabilityVerdict.h"
#include "volumes/StorageVolumeDetector.h"
#include "volumes/VolumeFixture.h"


#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <utility>

namespace kelvane::volumes {
namespace {

using MountFlag = StorageVolume::MountFlag;
using test::VolumeFixture;

using Facts = std::set<std::string>;

// Where a volume sits, as the names of its facts that hold, so that one check
// covers them all and a failure shows every one.
Facts placement(const StorageVolume& v)
{
    const std::pair<bool StorageVolume::*, const char*> facts[] = {
        {&StorageVolume::isRoot, "root"},           {&StorageVolume::isLocal, "local"},
        {&StorageVolume::isInternal, "internal"},   {&StorageVolume::isRemovable, "removable"},
        {&StorageVolume::isEjectable, "ejectable"}, {&StorageVolume::isEncrypted, "encrypted"},
        {&StorageVolume::isReadOnly, "readOnly"},   {&StorageVolume::isAutomounted, "automounted"},
    };
    Facts names;
    for (const auto& [fact, name] : facts)
        if (v.*fact)
            names.insert(name);
    return names;
}

// A laptop: an encrypted root on NVMe, a USB stick, a read-only archive disk
// with a btrfs subvolume, a hung NFS server and a tmpfs.
class FixtureMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixture.setMountInfo(
            "20 1 253:0 / / rw,noatime - ext4 /dev/mapper/luks-abc rw,usrquota\n"
            "21 20 0:5 / /proc rw - proc proc rw\n"
            "22 20 8:17 / /run/media/me/STICK rw,nosuid,nodev,noexec,relatime - vfat /dev/sdb1 rw,sync\n"
            "23 20 8:1 / /srv/archive ro,relatime - xfs /dev/sda1 ro\n"
            "24 20 0:44 / /mnt/nfs rw - nfs4 server:/x rw\n"
            "25 20 0:45 / /tmp rw,nosuid - tmpfs tmpfs rw\n"
            "26 20 0:40 /@home /home rw - btrfs /dev/sda2 rw,subvol=/@home\n"
            "27 20 254:0 / /srv/vm rw - ext4 /dev/vda rw\n");

        const auto nvme = fixture.addBlockDevice("pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1", "259:0",
                                                 {{"size", "1000215216"}, {"removable", "0"},
                                                  {"queue/rotational", "0"}, {"queue/logical_block_size", "512"},
                                                  {"device/model", "Samsung SSD 980 PRO 1TB          "},
                                                  {"device/firmware_rev", "5B2QGXA7"}});
        const auto nvmePart = fixture.addBlockDevice("pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p2", "259:2",
                                                     {{"partition", "2"}, {"size", "2000"}, {"ro", "0"}});
        const auto crypt = fixture.addBlockDevice("virtual/block/dm-0", "253:0",
                                                  {{"size", "1900"}, {"ro", "0"}, {"dm/name", "luks-abc"},
                                                   {"dm/uuid", "CRYPT-LUKS2-0123abcd-luks-abc"},
                                                   {"queue/logical_block_size", "4096"}, {"queue/rotational", "1"}});
        fixture.stack(crypt, nvmePart);
        (void)nvme;
        fixture.udevRecord("253:0", "S:disk/by-uuid/1234\nE:ID_FS_UUID=1234-abcd\nE:ID_FS_LABEL=system\n");
        fixture.markJournal("dm-0");

        const std::string usb = "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb";
        fixture.addBlockDevice(usb, "8:16",
                               {{"removable", "1"}, {"queue/rotational", "1"}, {"queue/logical_block_size", "512"},
                                {"device/vendor", "SanDisk "}, {"device/model", "Cruzer Blade    "},
                                {"device/rev", "1.00"}, {"size", "60000000"}});
        fixture.addBlockDevice(usb + "/sdb1", "8:17", {{"partition", "1"}, {"size", "59000000"}, {"ro", "0"}});

        const std::string sata = "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda";
        fixture.addBlockDevice(sata, "8:0",
                               {{"removable", "0"}, {"queue/rotational", "1"}, {"queue/logical_block_size", "4096"},
                                {"device/vendor", "ATA     "}, {"device/model", "WDC WD40EFRX-68N"},
                                {"device/rev", "0A82"}});
        fixture.addBlockDevice(sata + "/sda1", "8:1", {{"partition", "1"}, {"size", "100"}, {"ro", "0"}});
        fixture.addBlockDevice(sata + "/sda2", "8:2", {{"partition", "2"}, {"size", "200"}, {"ro", "0"}});

        fixture.addBlockDevice("pci0000:00/0000:00:02.0/virtio1/block/vda", "254:0",
                               {{"removable", "0"}, {"queue/rotational", "1"}, {"device/vendor", "0x1af4"}});

        auto vfat = test::ext4Facts();
        vfat.userAttributes = false;
        vfat.posixAcls = false;
        vfat.linkMax = 1;
        vfat.fileSizeBits = 32;
        vfat.fileSystemMagic = 0x4d44;
        // What glibc's pathconf says for every type it does not know.
        auto tmpfs = test::ext4Facts();
        tmpfs.fileSizeBits = 32;
        tmpfs.fileSystemMagic = 0x01021994;
        probe.state->answers = {{"/", test::ext4Facts()},     {"/run/media/me/STICK", vfat},
                                {"/srv/archive", test::ext4Facts()}, {"/tmp", tmpfs},
                                {"/home", test::ext4Facts()}, {"/mnt/nfs", test::ext4Facts()}};
        probe.state->blocked = {"/mnt/nfs"};
        backend = std::make_shared<platform::LinuxVolumeBackend>(fixture.roots(), probe.probe(),
                                                                 std::chrono::milliseconds(250));
        volumes = StorageVolumeDetector::detectVolumes(*backend);
    }

    void TearDown() override { probe.release(); }

    const StorageVolume& volume(const std::string& mountPoint) const
    {
        const auto it = std::find_if(volumes.begin(), volumes.end(),
                                     [&](const StorageVolume& v) { return v.url == mountPoint; });
        if (it == volumes.end())
            throw std::runtime_error("no volume at " + mountPoint);
        return *it;
    }

    VolumeFixture fixture;
    test::TableProbe probe;
    std::shared_ptr<platform::LinuxVolumeBackend> backend;
    std::vector<StorageVolume> volumes;
};

TEST_F(FixtureMachine, ListsTheVisibleVolumesInTableOrder)
{
    std::vector<std::string> urls;
    for (const auto& v : volumes)
        urls.push_back(v.url.string());
    EXPECT_EQ(urls, (std::vector<std::string>{"/", "/run/media/me/STICK", "/srv/archive", "/mnt/nfs", "/tmp", "/home", "/srv/vm"}));
}

TEST_F(FixtureMachine, EncryptedRootOnNvme)
{
    const StorageVolume& root = volume("/");
    EXPECT_EQ(root.name, "system");
    EXPECT_EQ(root.uuid, "1234-abcd");
    EXPECT_EQ(root.fileSystemType, "ext4");
    EXPECT_EQ(root.formatDescription, "ext4");
    EXPECT_EQ(root.mountSource, "/dev/mapper/luks-abc");
    EXPECT_EQ(root.mountFlags, (std::set<MountFlag>{MountFlag::noAtime, MountFlag::quota, MountFlag::local,
                                                     MountFlag::rootfs, MountFlag::journaled}));
    EXPECT_EQ(placement(root), (Facts{"root", "local", "internal", "encrypted"}));
    EXPECT_EQ(root.totalCapacity, 1000 * 4096);
    EXPECT_EQ(root.availableCapacity, 300 * 4096);
    EXPECT_EQ(root.usedCapacity(), 700 * 4096);
    EXPECT_EQ(root.blockSize, 4096);
    EXPECT_EQ(root.totalBlocks, 1000u);
    EXPECT_EQ(root.freeBlocks, 400u);
    EXPECT_EQ(root.resourceCount, 300);
    EXPECT_EQ(root.maximumFileSize, 0xFFFFFFFFLL * 4096);  // ext4: 2^32 - 1 blocks
    EXPECT_TRUE(root.capabilities.supportsCompression);
    EXPECT_TRUE(root.capabilities.isJournaling);
    EXPECT_TRUE(root.capabilities.supportsExtendedSecurity);
    EXPECT_FALSE(root.capabilities.supportsFileProtection);

    // The hardware is the NVMe disk under the LUKS layer; the media facts are the mapped device's.
    ASSERT_TRUE(root.hardware);
    EXPECT_EQ(root.hardware->deviceModel, "Samsung SSD 980 PRO 1TB");
    EXPECT_EQ(root.hardware->deviceProtocol, "NVMe");
    EXPECT_EQ(root.hardware->deviceRevision, "5B2QGXA7");
    EXPECT_EQ(root.hardware->deviceVendor, std::nullopt);
    EXPECT_EQ(root.hardware->bsdName, "dm-0");
    EXPECT_EQ(root.hardware->isSolidState, true);
    EXPECT_EQ(root.hardware->mediaSize, 1900 * 512);
    EXPECT_EQ(root.hardware->mediaBlockSize, 4096);
    EXPECT_EQ(root.hardware->isWritable, true);

    const CompressionAvailabilityVerdict verdict(root);
    EXPECT_EQ(verdict.title, "利用できます");
    EXPECT_EQ(verdict.notes.size(), 1u);
}

TEST_F(FixtureMachine, RemovableUsbStick)
{
    const StorageVolume& stick = volume("/run/media/me/STICK");
    EXPECT_EQ(stick.name, "STICK");
    EXPECT_EQ(stick.fileSystemType, "vfat");
    EXPECT_EQ(stick.mountFlags, (std::set<MountFlag>{MountFlag::synchronous, MountFlag::noExec, MountFlag::noSuid,
                                                      MountFlag::noDev, MountFlag::local}));
    EXPECT_EQ(placement(stick), (Facts{"local", "removable", "ejectable"}));
    EXPECT_FALSE(stick.capabilities.supportsCompression);
    EXPECT_FALSE(stick.capabilities.supportsHardLinks);
    EXPECT_EQ(stick.maximumFileSize, 0xFFFFFFFFLL);  // FAT: 4 GiB - 1, not the 2 GiB pathconf suggests
    ASSERT_TRUE(stick.hardware);
    EXPECT_EQ(stick.hardware->deviceVendor, "SanDisk");
    EXPECT_EQ(stick.hardware->deviceModel, "Cruzer Blade");
    EXPECT_EQ(stick.hardware->deviceProtocol, "USB");
    EXPECT_EQ(stick.hardware->isSolidState, false);  // the stick's own report wins
    EXPECT_EQ(stick.hardware->bsdName, "sdb1");
    EXPECT_EQ(CompressionAvailabilityVerdict(stick).notes.size(), 2u);
}

TEST_F(FixtureMachine, ReadOnlyDiskAndBtrfsSubvolumeFoundBySource)
{
    const StorageVolume& archive = volume("/srv/archive");
    EXPECT_EQ(placement(archive), (Facts{"local", "internal", "readOnly"}));
    EXPECT_EQ(archive.mountFlags, (std::set<MountFlag>{MountFlag::readOnly, MountFlag::local, MountFlag::journaled}));
    EXPECT_TRUE(archive.capabilities.isJournaling);
    EXPECT_TRUE(archive.capabilities.supportsCloning);
    ASSERT_TRUE(archive.hardware);
    EXPECT_EQ(archive.hardware->deviceProtocol, "SATA");
    EXPECT_EQ(archive.hardware->deviceVendor, "ATA");
    EXPECT_EQ(archive.hardware->isSolidState, false);
    EXPECT_EQ(archive.maximumFileSize, INT64_MAX);  // what pathconf gives for xfs
    EXPECT_EQ(CompressionAvailabilityVerdict(archive).title, "読み取り専用");

    // btrfs shows an anonymous device number; its source names the partition.
    const StorageVolume& home = volume("/home");
    ASSERT_TRUE(home.hardware);
    EXPECT_EQ(home.hardware->bsdName, "sda2");
    EXPECT_EQ(home.hardware->mediaSize, 200 * 512);
    EXPECT_EQ(placement(home), (Facts{"local", "internal"}));
    EXPECT_FALSE(home.mountFlags.count(MountFlag::journaled));

    // A virtual disk names its bus's vendor id, not a vendor; an ext4 without a
    // running journal is not journaling.
    const StorageVolume& vm = volume("/srv/vm");
    ASSERT_TRUE(vm.hardware);
    EXPECT_EQ(vm.hardware->deviceVendor, std::nullopt);
    EXPECT_EQ(vm.hardware->deviceProtocol, "Virtio");
    EXPECT_TRUE(vm.capabilities.supportsJournaling);
    EXPECT_FALSE(vm.capabilities.isJournaling);
    EXPECT_FALSE(vm.mountFlags.count(MountFlag::journaled));
}

TEST_F(FixtureMachine, HungNetworkMountFallsBackToDefaultsWithoutSlowProbes)
{
    const StorageVolume& nfs = volume("/mnt/nfs");
    EXPECT_EQ(placement(nfs), Facts{});
    EXPECT_EQ(nfs.fileSystemType, "nfs4");
    EXPECT_EQ(nfs.mountSource, "server:/x");
    EXPECT_FALSE(nfs.mountFlags.count(MountFlag::local));
    EXPECT_EQ(nfs.totalCapacity, 0);
    EXPECT_EQ(nfs.availableCapacity, 0);
    EXPECT_EQ(nfs.blockSize, 0);
    EXPECT_FALSE(nfs.capabilities.supportsCompression);
    EXPECT_FALSE(nfs.capabilities.supportsVolumeSizes);
    EXPECT_FALSE(nfs.hardware);
    EXPECT_EQ(CompressionAvailabilityVerdict(nfs).title, "利用できません");

    // Only the space probe was ever tried on it; local volumes got the full one.
    const auto depths = probe.depthsFor("/mnt/nfs");
    ASSERT_FALSE(depths.empty());
    EXPECT_TRUE(std::all_of(depths.begin(), depths.end(),
                            [](platform::ProbeDepth d) { return d == platform::ProbeDepth::spaceOnly; }));
    const auto rootDepths = probe.depthsFor("/");
    EXPECT_NE(std::find(rootDepths.begin(), rootDepths.end(), platform::ProbeDepth::full), rootDepths.end());
}

TEST_F(FixtureMachine, VolumeWithoutBlockDevice)
{
    const StorageVolume& tmp = volume("/tmp");
    EXPECT_FALSE(tmp.hardware);
    EXPECT_EQ(placement(tmp), Facts{"local"});
    EXPECT_EQ(tmp.name, "tmp");
    EXPECT_EQ(tmp.maximumFileSize, INT64_MAX);  // the kernel's limit for tmpfs, not pathconf's 32 bits
    EXPECT_TRUE(tmp.capabilities.supportsCompression);
    const CompressionAvailabilityVerdict verdict(tmp);
    EXPECT_EQ(verdict.title, "利用できません");
    EXPECT_EQ(verdict.notes, std::vector<std::string>{"対応 FS: ext4 / XFS / Btrfs"});
}

TEST_F(FixtureMachine, AVolumeUnmountedSinceTheListingIsLeftOut)
{
    EXPECT_FALSE(backend->resourceValues("/mnt/gone"));
    EXPECT_FALSE(backend->statfs("/mnt/gone"));
    fixture.setMountInfo("");
    EXPECT_TRUE(StorageVolumeDetector::detectVolumes(*backend).empty());
}

TEST(KelvanefsVolumeTest, AKelvanefsMountIsDescribedByTheFileSystemBelowIt)
{
    VolumeFixture fixture;
    fixture.setMountInfo("20 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                         "28 20 0:50 / /home/me/Archive rw,nosuid,nodev,relatime - fuse.kelvanefs /home/me/Archive "
                         "rw,user_id=1000,group_id=1000\n");
    fixture.addBlockDevice("pci0000:00/0000:00:02.0/virtio1/block/vda", "254:0",
                           {{"removable", "0"}, {"queue/rotational", "0"}, {"device/vendor", "0x1af4"}});
    test::TableProbe probe;
    probe.state->answers = {{"/", test::ext4Facts()}, {"/home/me/Archive", test::ext4Facts()}};
    platform::LinuxVolumeBackend backend(fixture.roots(), probe.probe(), std::chrono::milliseconds(250));
    const auto volumes = StorageVolumeDetector::detectVolumes(backend);
    const auto archive = std::find_if(volumes.begin(), volumes.end(),
                                      [](const StorageVolume& v) { return v.url == "/home/me/Archive"; });
    ASSERT_NE(archive, volumes.end());
    EXPECT_EQ(archive->fileSystemType, "ext4");
    EXPECT_EQ(archive->mountSource, "/dev/vda");
    EXPECT_TRUE(archive->hardware);
    EXPECT_TRUE(archive->isLocal);
    EXPECT_NE(CompressionAvailabilityVerdict(*archive).title, "利用できません");
}

}  // namespace
}  // namespace kelvane::volumes

namespace kelvane::platform {
namespace {

TEST(MaximumFileSize, TheKernelsLimitWinsAndThirtyTwoBitsMeanUnknown)
{
    constexpr std::uint64_t tmpfs = 0x01021994, overlay = 0x794c7630, fuse = 0x65735546, xfs = 0x58465342;
    EXPECT_EQ(maximumFileSize("tmpfs", tmpfs, 32, 4096), INT64_MAX);
    EXPECT_EQ(maximumFileSize("xfs", xfs, 64, 4096), INT64_MAX);
    EXPECT_EQ(maximumFileSize("vfat", 0x4d44, 32, 512), 0xFFFFFFFFLL);
    EXPECT_EQ(maximumFileSize("ext4", 0xEF53, 64, 4096), 0xFFFFFFFFLL * 4096);
    EXPECT_EQ(maximumFileSize("ext4", 0xEF53, 64, 0), std::nullopt);
    // Overlay and FUSE take the limit of what lies underneath: unknown, never 2 GB.
    EXPECT_EQ(maximumFileSize("overlay", overlay, 32, 4096), std::nullopt);
    EXPECT_EQ(maximumFileSize("fuse.kelvanefs", fuse, 32, 4096), std::nullopt);
    EXPECT_EQ(maximumFileSize("mystery", std::nullopt, std::nullopt, 4096), std::nullopt);
    EXPECT_EQ(maximumFileSize("mystery", 0x1234, 32, 4096), std::nullopt);
    // A type glibc does know answers with its bits.
    EXPECT_EQ(maximumFileSize("ext3", 0xEF53, 44, 4096), (std::int64_t{1} << 43) - 1);
    EXPECT_EQ(maximumFileSize("btrfs", std::nullopt, 255, 4096), INT64_MAX);
}

TEST(MaximumFileSize, ThisMachinesTmpfsIsNotReadAsTwoGigabytes)
{
    // /dev/shm is a tmpfs on every Linux desktop; pathconf gives it 32 bits.
    std::error_code error;
    if (!std::filesystem::is_directory("/dev/shm", error))
        GTEST_SKIP() << "no /dev/shm here";
    const MountPointFacts facts = systemMountPointProbe()("/dev/shm", ProbeDepth::full);
    ASSERT_TRUE(facts.fileSystemMagic);
    if (*facts.fileSystemMagic != 0x01021994)
        GTEST_SKIP() << "/dev/shm is not a tmpfs here";
    EXPECT_EQ(maximumFileSize("tmpfs", facts.fileSystemMagic, facts.fileSizeBits,
                              facts.space ? facts.space->blockSize : 0),
              INT64_MAX);
}

}  // namespace
}  // namespace kelvane::platform
