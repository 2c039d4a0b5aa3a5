// SPDX-License-Identifier: MIT
#include "platform/FileSizeLimit.h"

#include <cstdint>
#include <limits>
#include <linux/magic.h>
#include <utility>

namespace kelvane::platform {

namespace {

constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
// Not in every kernel's headers.
constexpr std::uint64_t kZfsMagic = 0x2FC12FC1;

// The kernel's s_maxbytes on a 64-bit kernel, where it does not depend on the
// volume. ext4 is left out: its limit depends on the block size. Overlay and
// FUSE are left out on purpose: the real limit is that of the file system
// underneath, which statfs does not tell.
constexpr std::pair<std::uint64_t, std::int64_t> kLimits[] = {
    {TMPFS_MAGIC, kLargest},
    {RAMFS_MAGIC, kLargest},
    {XFS_SUPER_MAGIC, kLargest},
    {BTRFS_SUPER_MAGIC, kLargest},
    {kZfsMagic, kLargest},
    {EXFAT_SUPER_MAGIC, kLargest},
    {MSDOS_SUPER_MAGIC, 0xFFFFFFFFLL},  // FAT keeps sizes in 32 unsigned bits
};

std::optional<std::int64_t> blocksOf(std::uint64_t blocks, std::int64_t blockSize)
{
    std::int64_t product = 0;
    if (blockSize <= 0 || __builtin_mul_overflow(static_cast<std::int64_t>(blocks), blockSize, &product))
        return std::nullopt;
    return product;
}

}  // namespace

std::optional<std::int64_t> maximumFileSize(std::string_view fsType, std::optional<std::uint64_t> magic,
                                            std::optional<long> fileSizeBits, std::int64_t blockSize)
{
    // ext4 addresses a file's blocks with 32 bits, far below what pathconf
    // reports for it (ext2 and ext3 share its magic).
    if (fsType == "ext4")
        return blocksOf(0xFFFFFFFFULL, blockSize);
    if (magic) {
        for (const auto& [known, limit] : kLimits)
            if (known == *magic)
                return limit;
    }
    if (fileSizeBits && *fileSizeBits > 32)
        return *fileSizeBits >= 64 ? kLargest : (std::int64_t{1} << (*fileSizeBits - 1)) - 1;
    return std::nullopt;
}

}  // namespace kelvane::platform
