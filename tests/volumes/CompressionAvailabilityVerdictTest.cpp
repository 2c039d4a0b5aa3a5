// SPDX-License-Identifier: MIT
#include "volumes/CompressionAvailabilityVerdict.h"

#include <gtest/gtest.h>

namespace kelvane::volumes {
namespace {

using Tint = CompressionAvailabilityVerdict::Tint;

StorageVolume writableExt4()
{
    StorageVolume v;
    v.url = "/data";
    v.fileSystemType = "ext4";
    v.isLocal = true;
    v.capabilities.supportsCompression = true;
    return v;
}

const std::string kUnsupportedFs = "対応 FS: ext4 / XFS / Btrfs";
const std::string kNoCapability = "カーネルが報告する compression capability が無効です。";

TEST(CompressionAvailabilityVerdict, ReadOnlyWinsOverEverything)
{
    for (const std::string type : {"ext4", "vfat"}) {
        StorageVolume v = writableExt4();
        v.fileSystemType = type;
        v.isReadOnly = true;
        v.isLocal = false;
        const CompressionAvailabilityVerdict verdict(v);
        EXPECT_EQ(verdict.symbol, "lock.fill");
        EXPECT_EQ(verdict.tint, Tint::secondary);
        EXPECT_EQ(verdict.title, "読み取り専用");
        EXPECT_EQ(verdict.summary,
                  "このボリュームは読み取り専用でマウントされているため、書き込みを伴う圧縮 / 解除は実行できません。");
        EXPECT_TRUE(verdict.notes.empty());
    }
}

TEST(CompressionAvailabilityVerdict, AvailableWithItsNotesInOrder)
{
    StorageVolume v = writableExt4();
    CompressionAvailabilityVerdict verdict(v);
    EXPECT_EQ(verdict.symbol, "checkmark.circle.fill");
    EXPECT_EQ(verdict.tint, Tint::green);
    EXPECT_EQ(verdict.title, "利用できます");
    EXPECT_EQ(verdict.summary, "decmpfs 透過圧縮が利用可能です。Kelvane から登録 / 圧縮 / 解除を実行できます。");
    EXPECT_TRUE(verdict.notes.empty());

    v.formatDescription = "ext4";
    v.isLocal = false;
    v.isEjectable = true;
    v.isEncrypted = true;
    verdict = CompressionAvailabilityVerdict(v);
    EXPECT_EQ(verdict.summary, "ext4 上で decmpfs 透過圧縮が利用可能です。Kelvane から登録 / 圧縮 / 解除を実行できます。");
    EXPECT_EQ(verdict.notes, (std::vector<std::string>{
                                 "リモート / ネットワーク FS の可能性。レイテンシ / 同期で剥がれる恐れあり。",
                                 "外部メディア。マウント解除でアクセス不可になります。",
                                 "暗号化済み。暗号化レイヤと decmpfs は両立しますが、I/O 速度は実機性能に依存します。",
                             }));

    // The type is compared lower-cased, and only the three types count.
    for (const std::string type : {"EXT4", "Xfs", "btrfs"}) {
        v.fileSystemType = type;
        EXPECT_EQ(CompressionAvailabilityVerdict(v).title, "利用できます") << type;
    }
    for (const std::string type : {"ext3", "ext4x", "xfs2", "tmpfs", "unknown"}) {
        v.fileSystemType = type;
        EXPECT_EQ(CompressionAvailabilityVerdict(v).title, "利用できません") << type;
    }
}

TEST(CompressionAvailabilityVerdict, NotAvailableCarriesOneOrTwoNotes)
{
    StorageVolume v = writableExt4();
    v.capabilities.supportsCompression = false;
    CompressionAvailabilityVerdict verdict(v);
    EXPECT_EQ(verdict.symbol, "xmark.circle.fill");
    EXPECT_EQ(verdict.tint, Tint::red);
    EXPECT_EQ(verdict.title, "利用できません");
    EXPECT_EQ(verdict.summary, "このボリューム（ext4）は decmpfs 透過圧縮に対応していません。Kelvane で圧縮 / 解除はできません。");
    EXPECT_EQ(verdict.notes, std::vector<std::string>{kNoCapability});

    v.fileSystemType = "unknown";
    verdict = CompressionAvailabilityVerdict(v);
    EXPECT_EQ(verdict.summary, "このボリューム（unknown）は decmpfs 透過圧縮に対応していません。Kelvane で圧縮 / 解除はできません。");
    EXPECT_EQ(verdict.notes, (std::vector<std::string>{kUnsupportedFs, kNoCapability}));

    v.fileSystemType = "VFAT";
    v.formatDescription = "FAT";
    v.capabilities.supportsCompression = true;
    verdict = CompressionAvailabilityVerdict(v);
    EXPECT_EQ(verdict.summary, "このボリューム（FAT）は decmpfs 透過圧縮に対応していません。Kelvane で圧縮 / 解除はできません。");
    EXPECT_EQ(verdict.notes, std::vector<std::string>{kUnsupportedFs});
}

TEST(StorageVolume, UsedCapacityAndFlagNames)
{
    StorageVolume v;
    EXPECT_EQ(v.usedCapacity(), 0);
    v.totalCapacity = 100;
    v.availableCapacity = 150;
    EXPECT_EQ(v.usedCapacity(), 0);
    v.availableCapacity = 40;
    EXPECT_EQ(v.usedCapacity(), 60);
    v.totalCapacity = INT64_MAX;
    v.availableCapacity = -10;
    EXPECT_EQ(v.usedCapacity(), INT64_MAX);

    StorageVolume other = v;
    EXPECT_EQ(other, v);
    other.capabilities.supportsRenaming = true;
    EXPECT_NE(other, v);
    EXPECT_EQ(other.id(), v.id());

    for (const auto flag : kAllMountFlags)
        EXPECT_EQ(mountFlagFromRawValue(rawValue(flag)), flag);
    EXPECT_EQ(rawValue(StorageVolume::MountFlag::noAtime), "noAtime");
    EXPECT_EQ(mountFlagFromRawValue("readonly"), std::nullopt);
    EXPECT_EQ(mountFlagFromRawValue("ReadOnly"), std::nullopt);
    EXPECT_EQ(mountFlagFromRawValue(""), std::nullopt);
}

}  // namespace
}  // namespace kelvane::volumes
