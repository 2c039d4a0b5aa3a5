// SPDX-License-Identifier: MIT
#include "platform/FileSystemTraits.h"

#include <array>
#include <utility>

namespace kelvane::platform {

namespace {

// journaling, sparse, caseSensitive, casePreserved, renamable, advisoryLocking,
// rootDirectoryDates, persistentIds, cloning, swapRenaming, exclusiveRenaming,
// immutableFiles, accessPermissions
constexpr FileSystemTraits unixTraits(std::string_view description, bool journaling, bool cloning)
{
    return {description, journaling, true, true, true, true, true, true, true, cloning, true, true, true, true};
}

constexpr FileSystemTraits foreignTraits(std::string_view description, bool journaling, bool sparse)
{
    // Case-insensitive file systems of other systems: no owners, no inode numbers of their own.
    return {description, journaling, sparse, false, true, true, true, true, false, false, false, true, false, false};
}

const std::array<std::pair<std::string_view, FileSystemTraits>, 20> kTraits{{
    {"ext4", unixTraits("ext4", true, false)},
    {"ext3", unixTraits("ext3", true, false)},
    {"ext2", unixTraits("ext2", false, false)},
    {"xfs", unixTraits("XFS", true, true)},
    {"btrfs", unixTraits("Btrfs", false, true)},
    {"f2fs", unixTraits("F2FS", false, false)},
    {"jfs", unixTraits("JFS", true, false)},
    {"reiserfs", unixTraits("ReiserFS", true, false)},
    {"bcachefs", unixTraits("bcachefs", false, true)},
    {"zfs", unixTraits("ZFS", false, false)},
    {"tmpfs", {"tmpfs", false, true, true, true, false, true, true, true, false, true, true, false, true}},
    {"overlay", {"overlay", false, true, true, true, false, true, true, false, false, false, true, false, true}},
    {"vfat", foreignTraits("FAT", false, false)},
    {"exfat", foreignTraits("exFAT", false, false)},
    {"ntfs", foreignTraits("NTFS", true, true)},
    {"ntfs3", foreignTraits("NTFS", true, true)},
    {"iso9660", {"ISO 9660", false, false, true, true, false, true, true, false, false, false, false, false, true}},
    {"squashfs", {"SquashFS", false, true, true, true, false, true, true, true, false, false, false, false, true}},
    {"nfs", {"NFS", false, true, true, true, false, true, true, true, false, false, false, false, true}},
    {"nfs4", {"NFSv4", false, true, true, true, false, true, true, true, false, false, false, false, true}},
}};

}  // namespace

std::optional<FileSystemTraits> FileSystemTraits::of(std::string_view fsType)
{
    for (const auto& [type, traits] : kTraits)
        if (type == fsType)
            return traits;
    if (fsType == "cifs" || fsType == "smb3")
        return foreignTraits("SMB", false, true);
    return std::nullopt;
}

}  // namespace kelvane::platform
