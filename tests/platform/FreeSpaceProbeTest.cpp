// SPDX-License-Identifier: MIT
#include "platform/FreeSpaceProbe.h"

#include "support/SmallFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

namespace kelvane::platform {
namespace {

using test::SmallFileSystem;

std::vector<std::filesystem::path> entriesOf(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        entries.push_back(entry.path().filename());
    return entries;
}

// The room there is can be had, a page more cannot; looking takes nothing
// away for good and puts nothing in the folder.
TEST(FreeSpaceProbeTest, FindsTheRoomToThePageAndGivesItBack)
{
    SmallFileSystem disk(4 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    const std::vector<std::uint8_t> kept{'k', 'e', 'e', 'p', 0, 1, 2};
    test::writeRawFile(disk.path() / "kept", kept);
    const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t free = disk.freeBytes();
    ASSERT_GT(free, 3u << 20);

    EXPECT_EQ(probeFreeSpace(disk.path(), free), 0);
    EXPECT_EQ(probeFreeSpace(disk.path(), free + page), ENOSPC);
    EXPECT_EQ(disk.freeBytes(), free);

    disk.fill(100 * page);
    EXPECT_EQ(probeFreeSpace(disk.path(), 100 * page), 0);
    EXPECT_EQ(probeFreeSpace(disk.path(), 101 * page), ENOSPC);
    disk.fill();
    EXPECT_EQ(probeFreeSpace(disk.path(), 1), ENOSPC);

    EXPECT_EQ(test::readRawFile(disk.path() / "kept"), kept);
    EXPECT_EQ(entriesOf(disk.path()), (std::vector<std::filesystem::path>{"filler", "kept"}));
}

TEST(FreeSpaceProbeTest, AFolderThatCannotTakeAFileIsNotTakenForAFullOne)
{
    test::TempDir dir;
    test::writeRawFile(dir / "file", {1});
    EXPECT_EQ(probeFreeSpace(dir / "missing", 4096), ENOENT);
    EXPECT_EQ(probeFreeSpace(dir / "file", 4096), ENOTDIR);
    EXPECT_EQ(probeFreeSpace(dir.path(), 4096), 0);
}

// Where the file system has no fallocate the room is written for real, and
// a refusal is found all the same.
TEST(FreeSpaceProbeTest, WithoutFallocateTheRoomIsWrittenAndTheRefusalStillFound)
{
    SmallFileSystem disk(8 << 20, SmallFileSystem::Kind::ext4WithoutExtents);
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    const std::uint64_t free = disk.freeBytes();
    ASSERT_GT(free, 4u << 20);
    EXPECT_EQ(probeFreeSpace(disk.path(), 2 << 20), 0);
    EXPECT_EQ(probeFreeSpace(disk.path(), free + (1 << 20)), ENOSPC);
    disk.fill();
    EXPECT_EQ(probeFreeSpace(disk.path(), 64 << 10), ENOSPC);
    // What was written is gone with the file that had no name.
    std::filesystem::remove(disk.fillerPath());
    EXPECT_GT(disk.freeBytes(), free - (64 << 10));
    EXPECT_EQ(entriesOf(disk.path()), (std::vector<std::filesystem::path>{"lost+found"}));
}

}  // namespace
}  // namespace kelvane::platform
