// SPDX-License-Identifier: MIT
#include "platform/MountTable.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kelvane::platform {
namespace {

std::vector<std::string> visiblePoints(const MountTable& table)
{
    std::vector<std::string> points;
    for (const auto& mount : table.visibleMounts())
        points.push_back(mount.entry.mountPoint.string());
    return points;
}

TEST(MountTable, UnescapesNamesAndReadsBothOptionLists)
{
    const auto table = MountTable::parse(
        "36 1 8:2 / /media/My\\040Disk\\134x rw,nosuid,noatime shared:5 master:1 - ext4 /dev/sd\\011b1 rw,errors=remount-ro\n");
    ASSERT_EQ(table.entries().size(), 1u);
    const MountEntry& entry = table.entries().front();
    EXPECT_EQ(entry.mountId, 36);
    EXPECT_EQ(entry.parentId, 1);
    EXPECT_EQ(entry.major, 8u);
    EXPECT_EQ(entry.minor, 2u);
    EXPECT_EQ(entry.mountPoint, "/media/My Disk\\x");
    EXPECT_EQ(entry.source, "/dev/sd\tb1");
    EXPECT_EQ(entry.fsType, "ext4");
    EXPECT_TRUE(entry.hasOption("nosuid"));
    EXPECT_TRUE(entry.hasOption("rw"));
    EXPECT_FALSE(entry.hasOption("ro"));
    EXPECT_EQ(entry.optionValue("errors"), "remount-ro");
    EXPECT_EQ(entry.optionValue("error"), std::nullopt);

    // A backslash not followed by three octal digits stays as it is, also at the end.
    EXPECT_EQ(MountTable::unescape("a\\09b\\"), "a\\09b\\");
    EXPECT_EQ(MountTable::unescape("\\012"), "\n");
}

// One mount point is shown for each volume a user would name: lines that do
// not parse are skipped, system mounts hidden, another view of a listed file
// system left out.
TEST(MountTable, ShowsOneMountPointPerVolume)
{
    const struct {
        const char* what;
        const char* table;
        std::vector<std::string> shown;
    } cases[] = {
        {"lines that do not parse",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "garbage\n"
         "21 1 x:1 / /bad rw - ext4 /dev/sda2 rw\n"
         "22 1 8:3 / /no-dash rw ext4 /dev/sda3 rw\n"
         "\n",
         {"/"}},
        {"pseudo and system mounts, but not removable media",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:5 / /proc rw - proc proc rw\n"
         "22 20 0:6 / /sys rw - sysfs sysfs rw\n"
         "23 20 0:7 / /dev/shm rw - tmpfs tmpfs rw\n"
         "24 20 0:8 / /run/user/1000 rw - tmpfs tmpfs rw\n"
         "25 20 0:9 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
         "26 20 8:17 / /run/media/me/STICK rw - vfat /dev/sdb1 rw\n"
         "27 20 0:10 / /tmp rw - tmpfs tmpfs rw\n"
         "28 20 0:11 / /srv/bin rw - binfmt_misc binfmt_misc rw\n"
         "29 20 0:12 / /runner rw - tmpfs tmpfs rw\n",
         {"/", "/run/media/me/STICK", "/tmp", "/runner"}},
        {"bind mounts of a listed file system",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         // a folder of the root file system bound elsewhere, and the whole of it again
         "40 20 8:1 /home/me/project /work rw - ext4 /dev/sda1 rw\n"
         "41 20 8:1 / /mnt/again rw - ext4 /dev/sda1 rw\n"
         // btrfs subvolumes share a device number yet are volumes of their own
         "50 20 0:40 /@home /home rw - btrfs /dev/sdc2 rw,subvol=/@home\n"
         "51 20 0:40 /@data /data rw - btrfs /dev/sdc2 rw,subvol=/@data\n"
         // only a part of this disk is mounted: that view is the volume
         "60 20 8:33 /exports/a /shared rw - ext4 /dev/sdd1 rw\n",
         {"/", "/home", "/data", "/shared"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(visiblePoints(MountTable::parse(c.table)), c.shown) << c.what;
}

// Text that is not a mount table at all (here a file-system table) gives no
// entries rather than misread ones.
TEST(MountTable, ReadsNoEntriesFromOtherTables)
{
    EXPECT_TRUE(MountTable::parse("/dev/sda1 / ext4 rw 0 1\n/dev/sda2 /home ext4 rw 0 2\n").entries().empty());
}

TEST(MountTable, ShowsOnlyTheTopmostOfStackedMounts)
{
    const auto table = MountTable::parse(
        "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "30 20 8:2 / /mnt/data rw - ext4 /dev/sda2 rw\n"
        "31 30 8:3 / /mnt/data rw - xfs /dev/sda3 rw\n");
    const auto mounts = table.visibleMounts();
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[1].entry.fsType, "xfs");
    EXPECT_EQ(table.visibleMount("/mnt/data")->entry.source, "/dev/sda3");
}

TEST(MountTable, MarksRemoteAndAutomountedVolumes)
{
    const auto table = MountTable::parse(
        "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "70 20 0:50 / /net/home rw - autofs systemd-1 rw,fd=40\n"
        "71 70 0:51 / /net/home rw - nfs4 server:/home rw,vers=4.2\n"
        "72 20 0:52 / /mnt/ssh rw - fuse.sshfs me@host:/ rw\n");
    const auto mounts = table.visibleMounts();
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_FALSE(mounts[0].remote);
    EXPECT_FALSE(mounts[0].automounted);
    EXPECT_EQ(mounts[1].entry.fsType, "nfs4");
    EXPECT_TRUE(mounts[1].remote);
    EXPECT_TRUE(mounts[1].automounted);
    EXPECT_TRUE(mounts[2].remote);
    EXPECT_FALSE(mounts[2].automounted);
}

}  // namespace
}  // namespace kelvane::platform
