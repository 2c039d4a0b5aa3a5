// SPDX-License-Identifier: MIT
#include "platform/DirectoryReader.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

namespace kp = kelvane::platform;
namespace fs = std::filesystem;
using Type = kp::DirectoryEntry::Type;

namespace {

TEST(DirectoryReaderTest, ListsEveryEntryWithItsType) {
    kelvane::test::TempDir temp;
    kelvane::test::writeRawFile(temp / "file", {1});
    fs::create_directory(temp / "dir");
    fs::create_symlink(temp / "file", temp / "link");
    ::mkfifo((temp / "fifo").c_str(), 0600);

    std::vector<kp::DirectoryEntry> entries;
    ASSERT_EQ(kp::readDirectory(temp.path(), false, entries), 0);
    std::map<std::string, Type> byName;
    for (const auto& e : entries) EXPECT_TRUE(byName.emplace(e.name, e.type).second) << e.name;
    // ext4 records types; "." and ".." are never listed.
    EXPECT_EQ(byName, (std::map<std::string, Type>{
                          {"file", Type::regular}, {"dir", Type::directory}, {"link", Type::symbolicLink}, {"fifo", Type::other}}));
}

TEST(DirectoryReaderTest, LargeFoldersTakeSeveralBlocks) {
    kelvane::test::TempDir temp;
    // Long names: over 150 KiB of entries, more than two 64 KiB blocks.
    const std::string stem(200, 'n');
    for (int i = 0; i < 700; ++i) kelvane::test::writeRawFile(temp / (stem + std::to_string(i)), {});
    std::vector<kp::DirectoryEntry> entries;
    ASSERT_EQ(kp::readDirectory(temp.path(), false, entries), 0);
    std::set<std::string> names;
    for (const auto& e : entries) names.insert(e.name);
    EXPECT_EQ(entries.size(), 700u);
    EXPECT_EQ(names.size(), 700u);
}

TEST(DirectoryReaderTest, LinksAreFollowedOnlyWhenAsked) {
    kelvane::test::TempDir temp;
    fs::create_directory(temp / "dir");
    kelvane::test::writeRawFile(temp / "dir/x", {});
    fs::create_directory_symlink(temp / "dir", temp / "link");
    kelvane::test::writeRawFile(temp / "file", {});

    std::vector<kp::DirectoryEntry> entries{{"stale", Type::regular}};
    EXPECT_EQ(kp::readDirectory(temp / "link", false, entries), ENOTDIR);
    EXPECT_TRUE(entries.empty());
    ASSERT_EQ(kp::readDirectory(temp / "link", true, entries), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "x");
    EXPECT_EQ(kp::readDirectory(temp / "file", true, entries), ENOTDIR);
    EXPECT_EQ(kp::readDirectory(temp / "missing", true, entries), ENOENT);
}

TEST(DirectoryReaderTest, EntryTimesDoNotFollowLinks) {
    kelvane::test::TempDir temp;
    kelvane::test::writeRawFile(temp / "file", {});
    const timespec when[2] = {{1'600'000'000, 5}, {1'600'000'000, 123'456'789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (temp / "file").c_str(), when, 0), 0);
    fs::create_symlink(temp / "file", temp / "link");

    kp::EntryTimes times;
    ASSERT_EQ(kp::readEntryTimes(temp / "file", times), 0);
    EXPECT_TRUE(S_ISREG(times.mode));
    EXPECT_EQ(times.mtime.tv_sec, 1'600'000'000);
    EXPECT_EQ(times.mtime.tv_nsec, 123'456'789);
    ASSERT_EQ(kp::readEntryTimes(temp / "link", times), 0);
    EXPECT_TRUE(S_ISLNK(times.mode));
    EXPECT_EQ(kp::readEntryTimes(temp / "missing", times), ENOENT);
}

}  // namespace
