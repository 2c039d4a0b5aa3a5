// SPDX-License-Identifier: MIT
// The kernel keeps names, attributes and listings of the mount for long; a
// change below (Kelvane's swaps, other programs) still shows through the
// mount: the watch below tells the kernel to drop what it kept. The kernel
// hears of it a moment after the change, so each check polls.

#include "fs/MountFixture.h"
#include "fs/TextLines.h"

#include "fs/FolderWatch.h"

#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/xattr.h>

namespace kelvane::fs::test {
namespace {

std::set<std::string> listing(const Path& folder)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            names.insert(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

class KernelCacheTest : public MountTest {
protected:
    void mountWithFiles()
    {
        std::filesystem::create_directories(at("sub"));
        kelvane::test::writeRawFile(at("a.txt"), compressibleLines(100000, 'a'));
        kelvane::test::writeRawFile(at("sub/b.txt"), compressibleLines(5000, 'b'));
        kelvane::test::writeRawFile(at("sub/c.txt"), compressibleLines(5000, 'c'));
        mountFolder();
        // What the kernel then keeps.
        ASSERT_EQ(readAll(at("a.txt")), compressibleLines(100000, 'a'));
        ASSERT_EQ(readAll(at("sub/c.txt")), compressibleLines(5000, 'c'));
        ASSERT_EQ(listing(at("sub")), (std::set<std::string>{".", "..", "b.txt", "c.txt"}));
        ASSERT_NE(statOf(at("sub/b.txt")).st_ino, 0u);
    }
};

TEST_F(KernelCacheTest, ChangesBelowShowThroughTheMount)
{
    mountWithFiles();

    // Another program appends below: the size, then the bytes.
    {
        std::ofstream(lower("a.txt"), std::ios::app) << "appended below\n";
        Bytes grown = compressibleLines(100000, 'a');
        const std::string tail = "appended below\n";
        grown.insert(grown.end(), tail.begin(), tail.end());
        EXPECT_TRUE(waitFor([&] { return statOf(at("a.txt")).st_size == static_cast<off_t>(grown.size()); }));
        EXPECT_EQ(readAll(at("a.txt")), grown);
    }
    // A name comes, a name goes, and both show in the cached listing.
    kelvane::test::writeRawFile(lower("sub/new.txt"), compressibleLines(10, 'n'));
    ASSERT_EQ(::unlink(lower("sub/b.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return listing(at("sub")) == std::set<std::string>{".", "..", "c.txt", "new.txt"}; }));
    EXPECT_TRUE(waitFor([&] { return statOf(at("sub/b.txt")).st_ino == 0; }));
    EXPECT_EQ(readAll(at("sub/new.txt")), compressibleLines(10, 'n'));

    // Another file renamed over a name, of the same size: its bytes show.
    kelvane::test::writeRawFile(lower("sub/c.new"), compressibleLines(5000, 'C'));
    ASSERT_EQ(::rename(lower("sub/c.new").c_str(), lower("sub/c.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return readAll(at("sub/c.txt")) == compressibleLines(5000, 'C'); }));

    // A mode, and a folder made below with a file in it.
    ASSERT_EQ(::chmod(lower("a.txt").c_str(), 0600), 0);
    EXPECT_TRUE(waitFor([&] { return (statOf(at("a.txt")).st_mode & 07777) == 0600; }));
    std::filesystem::create_directories(lower("sub/deeper"));
    kelvane::test::writeRawFile(lower("sub/deeper/x.txt"), compressibleLines(100, 'x'));
    EXPECT_TRUE(waitFor([&] { return listing(at("sub")).contains("deeper"); }));
    EXPECT_EQ(readAll(at("sub/deeper/x.txt")), compressibleLines(100, 'x'));
    std::filesystem::remove_all(lower("sub/deeper"));
    EXPECT_TRUE(waitFor([&] { return !listing(at("sub")).contains("deeper"); }));
    EXPECT_EQ(statOf(at("sub/deeper/x.txt")).st_ino, 0u);
}

// The kernel learns of the names the mount changes from the replies, and
// their echo from the watch is not told: a change below after them still is.
TEST_F(KernelCacheTest, NamesChangedThroughTheMountAndThenBelowShowThroughTheMount)
{
    mountWithFiles();
    kelvane::test::writeRawFile(at("made.txt"), compressibleLines(100, 'm'));
    std::filesystem::create_directories(at("made"));
    ASSERT_EQ(::rename(at("made.txt").c_str(), at("sub/moved.txt").c_str()), 0);
    ASSERT_EQ(::unlink(at("sub/c.txt").c_str()), 0);
    EXPECT_EQ(listing(at("sub")), (std::set<std::string>{".", "..", "b.txt", "moved.txt"}));
    EXPECT_EQ(statOf(at("made.txt")).st_ino, 0u);
    EXPECT_EQ(readAll(at("sub/moved.txt")), compressibleLines(100, 'm'));

    // Below, each of those names again: another file, one back, one gone.
    ASSERT_EQ(::unlink(lower("sub/moved.txt").c_str()), 0);
    kelvane::test::writeRawFile(lower("sub/moved.txt"), compressibleLines(100, 'M'));
    kelvane::test::writeRawFile(lower("sub/c.txt"), compressibleLines(10, 'c'));
    ASSERT_EQ(::rmdir(lower("made").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return readAll(at("sub/moved.txt")) == compressibleLines(100, 'M'); }));
    EXPECT_TRUE(waitFor([&] { return listing(at("sub")).contains("c.txt"); }));
    EXPECT_EQ(readAll(at("sub/c.txt")), compressibleLines(10, 'c'));
    EXPECT_TRUE(waitFor([&] { return statOf(at("made")).st_ino == 0; }));

    // A rename between two names of one inode does nothing and makes no
    // event: nothing of it may be left to swallow a later one below.
    ASSERT_EQ(::link(lower("sub/b.txt").c_str(), lower("sub/b2.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return statOf(at("sub/b2.txt")).st_ino != 0; }));
    ASSERT_EQ(::rename(at("sub/b.txt").c_str(), at("sub/b2.txt").c_str()), 0);
    ASSERT_NE(statOf(at("sub/b.txt")).st_ino, 0u);
    ASSERT_EQ(::rename(lower("sub/b.txt").c_str(), lower("sub/b3.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return statOf(at("sub/b.txt")).st_ino == 0; }, std::chrono::seconds(10)));
}

// The label security attribute of `path` through whatever serves it, or
// "absent"; "error N" for any other failure.
std::string labelOf(const Path& path)
{
    char value[64];
    const ssize_t length = ::lgetxattr(path.c_str(), "security.selinux", value, sizeof value);
    if (length >= 0)
        return std::string(value, static_cast<std::size_t>(length));
    return errno == ENODATA ? "absent" : "error " + std::to_string(errno);
}

// The mount answers the security attributes the kernel asks for at every
// write and in every long listing from what it knows absent: a label set
// below, or through the mount, or through another name of the file, shows.
TEST_F(KernelCacheTest, SecurityAttributesKnownAbsentFollowEveryChange)
{
    mountWithFiles();
    ASSERT_EQ(::link(lower("sub/b.txt").c_str(), lower("linked.txt").c_str()), 0);
    for (const char* name : {"a.txt", "sub/c.txt", "sub/b.txt"})
        ASSERT_EQ(labelOf(at(name)), "absent") << name;  // now known so

    if (::lsetxattr(lower("a.txt").c_str(), "security.selinux", "below", 5, 0) != 0)
        GTEST_SKIP() << "no security attributes can be set here: " << std::strerror(errno);
    EXPECT_TRUE(waitFor([&] { return labelOf(at("a.txt")) == "below"; })) << labelOf(at("a.txt"));
    ASSERT_EQ(::removexattr(at("a.txt").c_str(), "security.selinux"), 0);
    EXPECT_EQ(labelOf(at("a.txt")), "absent");

    // Through the mount: seen at once.
    ASSERT_EQ(labelOf(at("sub/c.txt")), "absent");
    ASSERT_EQ(::lsetxattr(at("sub/c.txt").c_str(), "security.selinux", "mount", 5, 0), 0);
    EXPECT_EQ(labelOf(at("sub/c.txt")), "mount");

    // Through another name, whose change reaches neither this name's
    // folder's watch nor its node: never kept absent.
    ASSERT_EQ(::lsetxattr(lower("linked.txt").c_str(), "security.selinux", "other", 5, 0), 0);
    EXPECT_EQ(labelOf(at("sub/b.txt")), "other");
}

// A POSIX access list of one named user beside the owner, group and others.
Bytes accessList(std::uint32_t user)
{
    Bytes out = {2, 0, 0, 0};
    const auto add = [&](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
        for (int i = 0; i < 2; ++i)
            out.push_back(static_cast<std::uint8_t>(tag >> (8 * i)));
        for (int i = 0; i < 2; ++i)
            out.push_back(static_cast<std::uint8_t>(perm >> (8 * i)));
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(id >> (8 * i)));
    };
    add(0x01, 6, 0xffffffff);
    add(0x02, 4, user);
    add(0x04, 4, 0xffffffff);
    add(0x10, 4, 0xffffffff);
    add(0x20, 4, 0xffffffff);
    return out;
}

std::string linkTarget(const Path& link)
{
    char target[256];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

TEST_F(KernelCacheTest, AccessListsAndLinkTargetsKeptByTheKernelFollowChangesBelow)
{
    std::filesystem::create_directories(at("sub"));
    kelvane::test::writeRawFile(at("a.txt"), compressibleLines(1000, 'a'));
    ASSERT_EQ(::symlink("a.txt", at("link").c_str()), 0);
    mountFolder();
    const auto listFor = [&](const std::string& name) {
        char value[256];
        const ssize_t length = ::getxattr(at(name).c_str(), "system.posix_acl_access", value, sizeof value);
        return length < 0 ? Bytes() : Bytes(value, value + length);
    };
    ASSERT_EQ(listFor("a.txt"), Bytes());
    ASSERT_EQ(linkTarget(at("link")), "a.txt");

    const Bytes list = accessList(4242);
    ASSERT_EQ(::setxattr(lower("a.txt").c_str(), "system.posix_acl_access", list.data(), list.size(), 0), 0);
    EXPECT_TRUE(waitFor([&] { return listFor("a.txt") == list; }));
    ASSERT_EQ(::removexattr(lower("a.txt").c_str(), "system.posix_acl_access"), 0);
    EXPECT_TRUE(waitFor([&] { return listFor("a.txt").empty(); }));

    // Another link put in its place, by rename as a program saving it would.
    ASSERT_EQ(::symlink("sub", lower("link.new").c_str()), 0);
    ASSERT_EQ(::rename(lower("link.new").c_str(), lower("link").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return linkTarget(at("link")) == "sub"; }));
}

// A link made below to a file the kernel knew by one name: a write through
// the new name shows through the old one.
TEST_F(KernelCacheTest, ALinkMadeBelowSharesWritesWithTheOldName)
{
    std::filesystem::create_directories(at("sub"));
    kelvane::test::writeRawFile(at("a.txt"), compressibleLines(20000, 'a'));
    mountFolder();
    ASSERT_EQ(readAll(at("a.txt")), compressibleLines(20000, 'a'));
    ASSERT_EQ(listing(at("sub")), (std::set<std::string>{".", ".."}));

    ASSERT_EQ(::link(lower("a.txt").c_str(), lower("sub/b.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return statOf(at("a.txt")).st_nlink == 2; }));
    const Bytes changed = compressibleLines(20000, 'B');
    {
        platform::UniqueFd fd(::open(at("sub/b.txt").c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::pwrite(fd.get(), changed.data(), changed.size(), 0), static_cast<ssize_t>(changed.size()));
    }
    EXPECT_EQ(readAll(at("a.txt")), changed);
}

// A listing takes many requests, each reading on from where the last one
// ended; every name comes exactly once, also in a second listing that the
// kernel may serve from its own copy, and after a change below.
TEST_F(KernelCacheTest, LongListingsHoldEveryNameOnce)
{
    std::filesystem::create_directories(at("many"));
    std::multiset<std::string> expected = {".", ".."};
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "entry-with-a-long-name-" + std::to_string(i * 7919 % 3001) + ".txt";
        kelvane::test::writeRawFile(at("many/" + name), compressibleLines(static_cast<std::size_t>(i % 50), 'm'));
        expected.insert(name);
    }
    mountFolder();
    const auto listAll = [&] {
        std::multiset<std::string> names;
        if (DIR* dir = ::opendir(at("many").c_str())) {
            while (const dirent* entry = ::readdir(dir))
                names.insert(entry->d_name);
            ::closedir(dir);
        }
        return names;
    };
    EXPECT_EQ(listAll(), expected);
    EXPECT_EQ(listAll(), expected);
    ASSERT_EQ(::unlink(lower("many/entry-with-a-long-name-5.txt").c_str()), 0);
    expected.erase("entry-with-a-long-name-5.txt");
    EXPECT_TRUE(waitFor([&] { return listAll() == expected; }));
}

TEST_F(KernelCacheTest, KelvaneSwapsShowThroughTheMount)
{
    mountWithFiles();
    const auto agrees = [&](const std::string& name) {
        platform::FileStat raw;
        if (platform::lstat(lower(name), raw) != 0)
            return false;
        const struct stat seen = statOf(at(name));
        return seen.st_ino == raw.ino && seen.st_blocks == raw.blocks && seen.st_size == raw.size;
    };
    // Compressed below (a swap by rename): the new inode and its blocks show,
    // the bytes stay.
    engine::FileCompressor{}.compressFile(lower("a.txt"));
    platform::FileStat raw;
    ASSERT_EQ(platform::lstat(lower("a.txt"), raw), 0);
    ASSERT_TRUE(raw.flags & platform::UF_COMPRESSED);
    EXPECT_TRUE(waitFor([&] { return agrees("a.txt"); }));
    EXPECT_LT(statOf(at("a.txt")).st_blocks * 512, 100000);
    EXPECT_EQ(readAll(at("a.txt")), compressibleLines(100000, 'a'));

    engine::FileCompressor{}.decompressFile(lower("a.txt"));
    EXPECT_TRUE(waitFor([&] { return agrees("a.txt"); }));
    EXPECT_EQ(readAll(at("a.txt")), compressibleLines(100000, 'a'));
    EXPECT_EQ(listing(folder()), (std::set<std::string>{".", "..", "a.txt", "sub"}));
}

// A folder below that changes without this kernel seeing it (a network file
// system, or one served by a program: here another kelvanefs mount) is not
// left to the watch: the kernel keeps what it learns there only briefly.
TEST_F(KernelCacheTest, AFolderBelowChangedFromElsewhereIsNotLeftToTheWatch)
{
    std::filesystem::create_directories(folder());
    mountFolder();
    const auto quiet = [](FolderWatch::Change, NodeTable::Id, const std::string&) {};
    platform::UniqueFd served(::open(folder().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(served);
    FolderWatch overFuse(served.get());
    EXPECT_FALSE(overFuse.start(quiet));
    platform::UniqueFd local(::open(runtime_.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(local);
    FolderWatch overLocal(local.get());
    EXPECT_TRUE(overLocal.start(quiet));
}

}  // namespace
}  // namespace kelvane::fs::test
