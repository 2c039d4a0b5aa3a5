// SPDX-License-Identifier: MIT
// Each name of a file with several is a node of its own to the kernel, with
// attributes of its own. The kernel keeps them for long while every name is
// known to the mount: a change through one name, through the mount or below,
// shows through the others. Through the mount at once; below, as soon as
// the watch has heard (each check below polls).

#include "fs/MountFixture.h"
#include "fs/TextLines.h"

#include <sys/xattr.h>

namespace kelvane::fs::test {
namespace {

void append(const Path& path, const std::string& tail)
{
    platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    ASSERT_TRUE(fd) << path << ": " << std::strerror(errno);
    ASSERT_EQ(::write(fd.get(), tail.data(), tail.size()), static_cast<ssize_t>(tail.size()));
}

Bytes appended(Bytes bytes, const std::string& tail)
{
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

class HardLinkCacheTest : public MountTest {
protected:
    // a.txt and sub/b.txt, one file, and sub/other.txt; `mountOptions` for the mount.
    void mountWithLinkedFile(std::vector<std::string> mountOptions = {"auto_unmount"})
    {
        std::filesystem::create_directories(at("sub"));
        kelvane::test::writeRawFile(at("a.txt"), compressibleLines(20000, 'a'));
        ASSERT_EQ(::link(at("a.txt").c_str(), at("sub/b.txt").c_str()), 0);
        kelvane::test::writeRawFile(at("sub/other.txt"), compressibleLines(100, 'o'));
        mountFolder(std::move(mountOptions));
        // Each name seen twice: the second time every name is known.
        for (int pass = 0; pass < 2; ++pass)
            for (const char* name : {"a.txt", "sub/b.txt"})
                ASSERT_EQ(statOf(at(name)).st_nlink, 2u) << name;
    }
};

TEST_F(HardLinkCacheTest, ChangesThroughTheMountShowThroughEveryNameAtOnce)
{
    mountWithLinkedFile();
    const Path a = at("a.txt"), b = at("sub/b.txt");

    const Bytes grown = appended(compressibleLines(20000, 'a'), "appended through a\n");
    append(a, "appended through a\n");
    EXPECT_EQ(statOf(b).st_size, static_cast<off_t>(grown.size()));
    EXPECT_EQ(readAll(b), grown);

    ASSERT_EQ(::chmod(b.c_str(), 0600), 0);
    EXPECT_EQ(statOf(a).st_mode & 07777, 0600u);
    ASSERT_EQ(::truncate(a.c_str(), 10), 0);
    EXPECT_EQ(statOf(b).st_size, 10);
    EXPECT_EQ(readAll(b), Bytes(grown.begin(), grown.begin() + 10));

    // An attribute set through one name moves the change time of all.
    ASSERT_EQ(::setxattr(a.c_str(), "user.note", "x", 1, 0), 0);
    platform::FileStat below;
    ASSERT_EQ(platform::lstat(lower("a.txt"), below), 0);
    EXPECT_EQ(statOf(b).st_ctim.tv_sec, below.ctime.tv_sec);
    EXPECT_EQ(statOf(b).st_ctim.tv_nsec, below.ctime.tv_nsec);

    // Names made and taken away through the mount change every link count.
    ASSERT_EQ(::link(a.c_str(), at("c.txt").c_str()), 0);
    EXPECT_EQ(statOf(b).st_nlink, 3u);
    ASSERT_EQ(::unlink(at("c.txt").c_str()), 0);
    EXPECT_EQ(statOf(a).st_nlink, 2u);
    EXPECT_EQ(statOf(b).st_nlink, 2u);
    ASSERT_EQ(::rename(at("sub/other.txt").c_str(), b.c_str()), 0);
    EXPECT_EQ(statOf(a).st_nlink, 1u);
    EXPECT_EQ(readAll(b), compressibleLines(100, 'o'));
}

TEST_F(HardLinkCacheTest, ChangesBelowThroughAnyNameShowThroughEveryName)
{
    mountWithLinkedFile();
    const Path a = at("a.txt"), b = at("sub/b.txt");

    const Bytes grown = appended(compressibleLines(20000, 'a'), "appended below\n");
    append(lower("sub/b.txt"), "appended below\n");
    EXPECT_TRUE(waitFor([&] { return statOf(a).st_size == static_cast<off_t>(grown.size()); }));
    EXPECT_EQ(readAll(a), grown);

    ASSERT_EQ(::chmod(lower("a.txt").c_str(), 0640), 0);
    EXPECT_TRUE(waitFor([&] { return (statOf(b).st_mode & 07777) == 0640; }));

    // A name made below, in a folder the kernel knows, and taken away again.
    ASSERT_EQ(::link(lower("a.txt").c_str(), lower("sub/c.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return statOf(a).st_nlink == 3 && statOf(b).st_nlink == 3; }));
    ASSERT_EQ(::unlink(lower("sub/c.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return statOf(a).st_nlink == 2 && statOf(b).st_nlink == 2; }));

    // Another file put over one name leaves the other with one name.
    ASSERT_EQ(::rename(lower("sub/other.txt").c_str(), lower("a.txt").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return statOf(b).st_nlink == 1; }));
    EXPECT_EQ(readAll(b), grown);
    EXPECT_EQ(readAll(a), compressibleLines(100, 'o'));
}

// A name in a folder the mount never showed is heard of by no watch: the
// names the kernel knows keep nothing, and see a change through it at once.
TEST_F(HardLinkCacheTest, ANameTheMountDoesNotKnowLeavesNothingKept)
{
    std::filesystem::create_directories(at("unseen"));
    kelvane::test::writeRawFile(at("a.txt"), compressibleLines(1000, 'a'));
    ASSERT_EQ(::link(at("a.txt").c_str(), at("unseen/u.txt").c_str()), 0);
    mountFolder();
    for (int pass = 0; pass < 2; ++pass)
        ASSERT_EQ(statOf(at("a.txt")).st_nlink, 2u);

    append(lower("unseen/u.txt"), "through the unseen name\n");
    EXPECT_EQ(statOf(at("a.txt")).st_size, static_cast<off_t>(1000 + 24));
    EXPECT_EQ(readAll(at("a.txt")), appended(compressibleLines(1000, 'a'), "through the unseen name\n"));
}

// Once both names are known, stats of either are answered by the kernel.
TEST_F(HardLinkCacheTest, EveryNameKnownKeepsItsAttributesInTheKernel)
{
    const Path times = temp_.path() / "times.txt";
    mountWithLinkedFile({"auto_unmount", "request_times=" + times.string()});
    for (int i = 0; i < 20; ++i)
        for (const char* name : {"a.txt", "sub/b.txt"})
            ASSERT_EQ(statOf(at(name)).st_nlink, 2u);
    unmount();
    std::string table;
    std::getline(std::ifstream(times), table, '\0');
    ASSERT_GE(requestsOf(table, "all"), 1) << "no request times written to " << times;
    // The first stats of the names: at most one request each beyond their lookups.
    EXPECT_LE(requestsOf(table, "GETATTR"), 4) << table;
}

}  // namespace
}  // namespace kelvane::fs::test
