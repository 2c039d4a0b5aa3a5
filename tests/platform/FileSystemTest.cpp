// SPDX-License-Identifier: MIT
#include "platform/Acl.h"
#include "platform/DirectoryReader.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "platform/StoredForms.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <set>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kelvane::platform {
namespace {

Bytes getAll(const std::filesystem::path& path, std::string_view name, int options = 0)
{
    const ssize_t size = getxattr(path, name, nullptr, 0, 0, options);
    if (size < 0)
        throw std::runtime_error("getxattr size: errno=" + std::to_string(errno));
    Bytes out(static_cast<std::size_t>(size));
    const ssize_t got = getxattr(path, name, out.data(), out.size(), 0, options);
    if (got < 0)
        throw std::runtime_error("getxattr: errno=" + std::to_string(errno));
    out.resize(static_cast<std::size_t>(got));
    return out;
}

std::vector<std::string> names(const std::filesystem::path& path, int options = 0)
{
    const ssize_t size = listxattr(path, nullptr, 0, options);
    EXPECT_GE(size, 0);
    std::string buffer(static_cast<std::size_t>(std::max<ssize_t>(size, 0)), '\0');
    EXPECT_EQ(listxattr(path, buffer.data(), buffer.size(), options), size);
    std::vector<std::string> out;
    for (std::size_t start = 0; start < buffer.size();) {
        const std::size_t end = buffer.find('\0', start);
        out.push_back(buffer.substr(start, end - start));
        start = end + 1;
    }
    std::sort(out.begin(), out.end());
    return out;
}

Bytes hostAttribute(const std::filesystem::path& path, const char* name)
{
    Bytes out(65536);
    const ssize_t got = ::lgetxattr(path.c_str(), name, out.data(), out.size());
    if (got < 0)
        return {};
    out.resize(static_cast<std::size_t>(got));
    return out;
}

bool hasHostAttribute(const std::filesystem::path& path, const char* name)
{
    return ::lgetxattr(path.c_str(), name, nullptr, 0) >= 0;
}

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(FileSystemTest, AttributesRoundTripWithTheirOptions)
{
    TempDir dir;
    const auto file = dir / "a.txt";
    test::writeRawFile(file, bytes("data"));

    const Bytes value = bytes("value of a");
    ASSERT_EQ(setxattr(file, "org.example.note", value.data(), value.size(), 0, 0), 0);
    EXPECT_EQ(getAll(file, "org.example.note"), value);
    EXPECT_EQ(hostAttribute(file, "user.org.example.note"), value);  // stored as user.N

    char small[4];
    EXPECT_EQ(getxattr(file, "org.example.note", small, sizeof small, 0, 0), -1);
    EXPECT_EQ(errno, ERANGE);

    EXPECT_EQ(setxattr(file, "org.example.note", "x", 1, 0, XATTR_CREATE), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(setxattr(file, "org.example.absent", "x", 1, 0, XATTR_REPLACE), -1);
    EXPECT_EQ(errno, ENOATTR);
    EXPECT_EQ(setxattr(file, "org.example.note", "y", 1, 0, XATTR_REPLACE), 0);
    EXPECT_EQ(getAll(file, "org.example.note"), bytes("y"));
    EXPECT_EQ(setxattr(file, "org.example.note", "z", 1, 0, XATTR_CREATE | XATTR_REPLACE), -1);
    EXPECT_EQ(errno, EINVAL);

    // Only the fork takes a position.
    EXPECT_EQ(setxattr(file, "org.example.note", "z", 1, 3, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(getxattr(file, "org.example.note", small, sizeof small, 1, 0), -1);
    EXPECT_EQ(errno, EINVAL);

    ASSERT_EQ(setxattr(file, "org.example.empty", nullptr, 0, 0, 0), 0);
    EXPECT_EQ(getxattr(file, "org.example.empty", nullptr, 0, 0, 0), 0);

    ASSERT_EQ(removexattr(file, "org.example.note", 0), 0);
    EXPECT_EQ(getxattr(file, "org.example.note", nullptr, 0, 0, 0), -1);
    EXPECT_EQ(errno, ENOATTR);
    EXPECT_EQ(removexattr(file, "org.example.note", 0), -1);
    EXPECT_EQ(errno, ENOATTR);

    // The stand-in's own records are out of reach.
    for (const char* internal : {"darwin.flags", "darwin.rsrc", "darwin.crtime"}) {
        EXPECT_EQ(setxattr(file, internal, "x", 1, 0, 0), -1) << internal;
        EXPECT_EQ(errno, EPERM);
        EXPECT_EQ(getxattr(file, internal, nullptr, 0, 0, 0), -1) << internal;
    }
    EXPECT_EQ(getxattr(file, "org.example.note", nullptr, 0, 0, 0x4000), -1);  // unknown option
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(getxattr(dir / "missing", "org.example.note", nullptr, 0, 0, 0), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileSystemTest, ListingShowsOnlyUserAttributesAndHidesCompressionOfCompressedFiles)
{
    TempDir dir;
    const auto file = dir / "plain";
    test::writeRawFile(file, bytes("contents"));
    ASSERT_EQ(setxattr(file, "b.second", "2", 1, 0, 0), 0);
    ASSERT_EQ(setxattr(file, "a.first", "", 0, 0, 0), 0);
    ASSERT_EQ(chflags(file, UF_HIDDEN), 0);
    ASSERT_EQ(setCreationDate(file, timespec{1000, 5}), 0);
    EXPECT_EQ(names(file), (std::vector<std::string>{"a.first", "b.second"}));

    char tooSmall[8];
    EXPECT_EQ(listxattr(file, tooSmall, sizeof tooSmall, 0), -1);
    EXPECT_EQ(errno, ERANGE);

    // A compressed file shows its decmpfs attribute and fork only when asked to.
    const auto compressed = dir / "compressed";
    const Bytes data = test::sampleText(70000);
    const Bytes fork = test::forkOf(data, test::lzfse);
    test::storeCompressed(compressed, test::decmpfsHeader(12, data.size()), &fork);
    ASSERT_EQ(setxattr(compressed, "kept", "k", 1, 0, 0), 0);
    EXPECT_EQ(names(compressed), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(names(compressed, XATTR_SHOWCOMPRESSION),
              (std::vector<std::string>{"com.apple.ResourceFork", "com.apple.decmpfs", "kept"}));
    for (std::string_view name : {kDecmpfsXattrName, kResourceForkXattrName}) {
        EXPECT_EQ(getxattr(compressed, name, nullptr, 0, 0, 0), -1) << name;
        EXPECT_EQ(errno, ENOATTR);
        EXPECT_EQ(removexattr(compressed, name, 0), -1) << name;
        EXPECT_EQ(errno, ENOATTR);
    }
    EXPECT_EQ(getAll(compressed, kDecmpfsXattrName, XATTR_SHOWCOMPRESSION), test::decmpfsHeader(12, data.size()));
    EXPECT_EQ(getAll(compressed, kResourceForkXattrName, XATTR_SHOWCOMPRESSION), fork);

    // Attributes of other namespaces are never listed.
    if (::geteuid() != 0)
        GTEST_SKIP() << "setting a trusted.* attribute needs root";
    ASSERT_EQ(::lsetxattr(file.c_str(), "trusted.kelvane", "t", 1, 0), 0);
    EXPECT_EQ(names(file), (std::vector<std::string>{"a.first", "b.second"}));
}

TEST(FileSystemTest, ForkOfAnEmptyFileLivesInTheDataStreamAndHonoursPosition)
{
    TempDir dir;
    const auto file = dir / "f";
    test::writeRawFile(file, {});
    const Bytes fork = test::randomBytes(100000);

    ASSERT_EQ(setxattr(file, kResourceForkXattrName, fork.data(), fork.size(), 0, XATTR_CREATE), 0);
    EXPECT_EQ(test::readRawFile(file), fork);
    EXPECT_FALSE(hasHostAttribute(file, "user.com.apple.ResourceFork"));
    FileStat st;
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.size, 0);  // the data fork stays empty
    EXPECT_GE(st.blocks * 512, static_cast<std::int64_t>(fork.size()) - 4096);
    EXPECT_EQ(names(file), (std::vector<std::string>{"com.apple.ResourceFork"}));
    EXPECT_EQ(getxattr(file, kResourceForkXattrName, nullptr, 0, 0, 0), static_cast<ssize_t>(fork.size()));
    EXPECT_EQ(setxattr(file, kResourceForkXattrName, "x", 1, 0, XATTR_CREATE), -1);
    EXPECT_EQ(errno, EEXIST);

    // Reads and writes at a position; a read is cut at the fork's end.
    Bytes piece(300);
    ASSERT_EQ(getxattr(file, kResourceForkXattrName, piece.data(), piece.size(), 99900, 0), 100);
    EXPECT_TRUE(std::equal(piece.begin(), piece.begin() + 100, fork.begin() + 99900));
    EXPECT_EQ(getxattr(file, kResourceForkXattrName, piece.data(), piece.size(), 200000, 0), 0);
    ASSERT_EQ(setxattr(file, kResourceForkXattrName, "ABCD", 4, 99998, 0), 0);
    Bytes expected = fork;
    expected.resize(100002);
    std::copy_n("ABCD", 4, expected.begin() + 99998);
    EXPECT_EQ(getAll(file, kResourceForkXattrName), expected);

    // Position 0 replaces the whole fork.
    ASSERT_EQ(setxattr(file, kResourceForkXattrName, "short", 5, 0, XATTR_REPLACE), 0);
    EXPECT_EQ(getAll(file, kResourceForkXattrName), bytes("short"));

    // Reading the file itself gives its empty data fork, not the fork.
    Bytes contents = bytes("not empty");
    ASSERT_EQ(readWholeFile(file, contents), 0);
    EXPECT_TRUE(contents.empty());

    ASSERT_EQ(removexattr(file, kResourceForkXattrName, 0), 0);
    EXPECT_TRUE(test::readRawFile(file).empty());
    EXPECT_FALSE(hasHostAttribute(file, "user.darwin.rsrc"));
    EXPECT_EQ(getxattr(file, kResourceForkXattrName, nullptr, 0, 0, 0), -1);
    EXPECT_EQ(errno, ENOATTR);
}

TEST(FileSystemTest, ForkOfAFileWithDataIsAnAttribute)
{
    TempDir dir;
    const auto file = dir / "f";
    const Bytes data = bytes("the data fork");
    test::writeRawFile(file, data);

    ASSERT_EQ(setxattr(file, kResourceForkXattrName, "0123456789", 10, 0, 0), 0);
    ASSERT_EQ(setxattr(file, kResourceForkXattrName, "xy", 2, 12, 0), 0);  // past the end: zero gap
    const Bytes expected = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0, 0, 'x', 'y'};
    EXPECT_EQ(getAll(file, kResourceForkXattrName), expected);
    EXPECT_EQ(hostAttribute(file, "user.com.apple.ResourceFork"), expected);
    EXPECT_EQ(test::readRawFile(file), data);
    Bytes piece(4);
    ASSERT_EQ(getxattr(file, kResourceForkXattrName, piece.data(), piece.size(), 8, 0), 4);
    EXPECT_EQ(piece, (Bytes{'8', '9', 0, 0}));

    // Large forks do not fit beside data: the host's limit is reported.
    const Bytes big = test::randomBytes(1 << 20);
    EXPECT_EQ(setxattr(file, kResourceForkXattrName, big.data(), big.size(), 0, 0), -1);
    EXPECT_TRUE(errno == E2BIG || errno == ENOSPC || errno == ERANGE) << errno;

    // Through ..namedfork/rsrc it reads as a copy and cannot be streamed into.
    UniqueFd reader = open(resourceForkPath(file), O_RDONLY);
    ASSERT_TRUE(reader);
    Bytes read(64);
    read.resize(static_cast<std::size_t>(::read(reader.get(), read.data(), read.size())));
    EXPECT_EQ(read, expected);
    EXPECT_FALSE(open(resourceForkPath(file), O_WRONLY));
    EXPECT_EQ(errno, ENOTSUP);
}

TEST(FileSystemTest, ForkStreamedThroughNamedForkPathBecomesTheCompressedData)
{
    TempDir dir;
    const auto file = dir / "streamed";
    test::writeRawFile(file, {});
    const Bytes data = test::sampleText(3 * 65536 + 123);
    const Bytes fork = test::forkOf(data, test::lzfse);
    ASSERT_EQ(setxattr(file, kDecmpfsXattrName, test::decmpfsHeader(12, data.size()).data(), 16, 0, 0), 0);

    {
        UniqueFd fd = open(resourceForkPath(file), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_TRUE(fd) << errno;
        const std::size_t table = 4 * 5;
        const Bytes zeros(table, 0);
        ASSERT_EQ(write(fd.get(), zeros.data(), zeros.size()), static_cast<ssize_t>(table));
        ASSERT_EQ(write(fd.get(), fork.data() + table, fork.size() - table),
                  static_cast<ssize_t>(fork.size() - table));
        // While being written the stream is the fork, whatever its length.
        FileStat st;
        ASSERT_EQ(lstat(file, st), 0);
        EXPECT_EQ(st.size, 0);
        ASSERT_EQ(lseek(fd.get(), 0, SEEK_SET), 0);
        ASSERT_EQ(write(fd.get(), fork.data(), table), static_cast<ssize_t>(table));
        ASSERT_EQ(fsync(fd.get()), 0);
    }
    ASSERT_EQ(chflags(file, UF_COMPRESSED), 0);
    // The final length, then the digest of the fork as it now stands.
    const Sha256Digest digest = Sha256::digest(fork);
    EXPECT_EQ(hostAttribute(file, "user.darwin.rsrc"),
              (Bytes{static_cast<std::uint8_t>(fork.size()), static_cast<std::uint8_t>(fork.size() >> 8),
                     static_cast<std::uint8_t>(fork.size() >> 16), 0, 0, 0, 0, 0} +
               Bytes(digest.begin(), digest.end())));

    FileStat st;
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.size, static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(st.flags, UF_COMPRESSED);
    Bytes back;
    ASSERT_EQ(readWholeFile(file, back), 0);
    EXPECT_EQ(back, data);

    // O_TRUNC through the fork path of a file that already holds one starts it afresh.
    const auto second = dir / "rewritten";
    test::writeRawFile(second, {});
    ASSERT_EQ(setxattr(second, kResourceForkXattrName, "old fork", 8, 0, 0), 0);
    {
        UniqueFd fd = open(resourceForkPath(second), O_WRONLY | O_TRUNC);
        ASSERT_TRUE(fd);
        ASSERT_EQ(write(fd.get(), "new", 3), 3);
    }
    EXPECT_EQ(getAll(second, kResourceForkXattrName), bytes("new"));
    EXPECT_FALSE(open(resourceForkPath(dir / "missing"), O_WRONLY | O_CREAT, 0600));
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileSystemTest, FileWrittenByAnotherProgramIsAnOrdinaryFile)
{
    TempDir dir;
    const Bytes data = test::sampleText(200000);
    const Bytes fork = test::forkOf(data, test::lzfse);

    const auto file = dir / "rewritten";
    test::storeCompressed(file, test::decmpfsHeader(12, data.size()), &fork);
    ASSERT_EQ(chflags(file, UF_COMPRESSED | UF_HIDDEN), 0);
    {
        // Bypasses the layer, and no longer begins with the fork.
        std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(100);
        out << "overwritten";
        out.seekp(0, std::ios::end);
        out << "appended";
    }
    const Bytes raw = test::readRawFile(file);
    FileStat st;
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.flags, UF_HIDDEN);
    EXPECT_EQ(st.size, static_cast<std::int64_t>(raw.size()));
    EXPECT_EQ(getxattr(file, kResourceForkXattrName, nullptr, 0, 0, XATTR_SHOWCOMPRESSION), -1);
    EXPECT_EQ(errno, ENOATTR);
    EXPECT_EQ(getxattr(file, kDecmpfsXattrName, nullptr, 0, 0, XATTR_SHOWCOMPRESSION), -1);
    EXPECT_TRUE(names(file, XATTR_SHOWCOMPRESSION).empty());
    Bytes back;
    ASSERT_EQ(readWholeFile(file, back), 0);
    EXPECT_EQ(back, raw);

    // Setting flags afterwards clears the leftovers; the compressed flag cannot
    // turn data back into a fork.
    ASSERT_EQ(chflags(file, UF_HIDDEN), 0);
    EXPECT_FALSE(hasHostAttribute(file, "user.darwin.rsrc"));
    EXPECT_FALSE(hasHostAttribute(file, "user.com.apple.decmpfs"));
    EXPECT_EQ(chflags(file, UF_COMPRESSED), -1);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(readWholeFile(file, back), 0);
    EXPECT_EQ(back, raw);

    // An inline compressed file keeps no fork record: any data at all is foreign.
    const auto small = dir / "inline";
    test::storeCompressed(small, test::decmpfsHeader(1, 3) + bytes("abc"));
    test::writeRawFile(small, bytes("xyz!"));
    ASSERT_EQ(lstat(small, st), 0);
    EXPECT_EQ(st.flags, 0u);
    EXPECT_EQ(st.size, 4);
    ASSERT_EQ(readWholeFile(small, back), 0);
    EXPECT_EQ(back, bytes("xyz!"));
}

TEST(FileSystemTest, WritingACompressedFileNeedsTruncation)
{
    TempDir dir;
    const auto file = dir / "c";
    test::storeCompressed(file, test::decmpfsHeader(1, 5) + bytes("hello"));
    EXPECT_TRUE(open(file, O_RDONLY));
    EXPECT_FALSE(open(file, O_WRONLY));
    EXPECT_EQ(errno, EBUSY);
    // An exclusive create refuses without touching what is there.
    EXPECT_FALSE(open(file, O_WRONLY | O_CREAT | O_EXCL | O_TRUNC, 0600));
    EXPECT_EQ(errno, EEXIST);
    FileStat before;
    ASSERT_EQ(lstat(file, before), 0);
    EXPECT_EQ(before.flags, UF_COMPRESSED);
    Bytes back;
    ASSERT_EQ(readWholeFile(file, back), 0);
    EXPECT_EQ(back, bytes("hello"));

    UniqueFd fd = open(file, O_WRONLY | O_TRUNC);
    ASSERT_TRUE(fd);
    ASSERT_EQ(write(fd.get(), "new", 3), 3);
    FileStat st;
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.flags, 0u);
    EXPECT_EQ(st.size, 3);
    EXPECT_TRUE(names(file, XATTR_SHOWCOMPRESSION).empty());

    // Writing the data fork of a file whose fork fills the stream moves the fork aside.
    const auto withFork = dir / "withFork";
    test::writeRawFile(withFork, {});
    ASSERT_EQ(setxattr(withFork, kResourceForkXattrName, "fork", 4, 0, 0), 0);
    {
        UniqueFd data = open(withFork, O_WRONLY);
        ASSERT_TRUE(data);
        ASSERT_EQ(write(data.get(), "data!", 5), 5);
    }
    EXPECT_EQ(getAll(withFork, kResourceForkXattrName), bytes("fork"));
    ASSERT_EQ(readWholeFile(withFork, back), 0);
    EXPECT_EQ(back, bytes("data!"));
}

TEST(FileSystemTest, FlagsAndCreationDateLiveOnTheInode)
{
    TempDir dir;
    const auto file = dir / "f";
    test::writeRawFile(file, bytes("x"));
    FileStat st;
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.flags, 0u);
    struct statx sx {};
    ASSERT_EQ(::statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME, &sx), 0);
    if (sx.stx_mask & STATX_BTIME) {
        EXPECT_EQ(st.birthtime.tv_sec, sx.stx_btime.tv_sec);
        EXPECT_EQ(st.birthtime.tv_nsec, static_cast<long>(sx.stx_btime.tv_nsec));
    }
    EXPECT_FALSE(isHidden(file));

    ASSERT_EQ(chflags(file, UF_HIDDEN | UF_NODUMP), 0);
    EXPECT_EQ(hostAttribute(file, "user.darwin.flags"), (Bytes{0x01, 0x80, 0x00, 0x00}));
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.flags, UF_HIDDEN | UF_NODUMP);
    EXPECT_TRUE(isHidden(file));
    ASSERT_EQ(chflags(file, 0), 0);
    EXPECT_FALSE(hasHostAttribute(file, "user.darwin.flags"));
    EXPECT_TRUE(isHidden(dir / ".dotted"));

    // A flagged empty file is compressed even without a header; its size is 0.
    const auto empty = dir / "empty";
    test::writeRawFile(empty, {});
    ASSERT_EQ(chflags(empty, UF_COMPRESSED), 0);
    ASSERT_EQ(lstat(empty, st), 0);
    EXPECT_EQ(st.flags, UF_COMPRESSED);
    EXPECT_EQ(st.size, 0);
    EXPECT_EQ(chflags(file, UF_COMPRESSED), -1);  // has data
    EXPECT_EQ(errno, EINVAL);

    const timespec created{1234567890, 987654321};
    ASSERT_EQ(setCreationDate(file, created), 0);
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.birthtime.tv_sec, created.tv_sec);
    EXPECT_EQ(st.birthtime.tv_nsec, created.tv_nsec);
    EXPECT_EQ(setCreationDate(file, timespec{1, 1000000000}), -1);
    EXPECT_EQ(errno, EINVAL);

    // Everything moves with the inode through rename.
    ASSERT_EQ(platform::rename(file, dir / "moved"), 0);
    ASSERT_EQ(lstat(dir / "moved", st), 0);
    EXPECT_EQ(st.birthtime.tv_sec, created.tv_sec);

    // A symbolic link is never followed.
    std::filesystem::create_symlink(dir / "moved", dir / "link");
    ASSERT_EQ(lstat(dir / "link", st), 0);
    EXPECT_TRUE(S_ISLNK(st.mode));
    EXPECT_EQ(st.flags, 0u);
    EXPECT_EQ(lstat(dir / "absent", st), -1);
    EXPECT_EQ(errno, ENOENT);

    // The super-user flags: root sets them, the file's owner is refused them.
    const auto archived = dir / "archived";
    test::writeRawFile(archived, bytes("x"));
    if (::geteuid() != 0) {
        EXPECT_EQ(chflags(archived, UF_HIDDEN | SF_ARCHIVED), -1);
        EXPECT_EQ(errno, EPERM);
        EXPECT_FALSE(hasHostAttribute(archived, "user.darwin.flags"));
        GTEST_SKIP() << "setting a super-user flag (SF_ARCHIVED) needs root";
    }
    ASSERT_EQ(chflags(archived, UF_HIDDEN | SF_ARCHIVED), 0);
    EXPECT_EQ(hostAttribute(archived, "user.darwin.flags"), (Bytes{0x00, 0x80, 0x01, 0x00}));
    ASSERT_EQ(lstat(archived, st), 0);
    EXPECT_EQ(st.flags, UF_HIDDEN | SF_ARCHIVED);
}

TEST(FileSystemTest, LogicalSizeOfACompressedFileComesFromItsHeader)
{
    TempDir dir;
    const auto file = dir / "c";
    const Bytes data = test::sampleText(300000);
    const Bytes fork = test::forkOf(data, test::lzfse);
    test::storeCompressed(file, test::decmpfsHeader(12, data.size()), &fork);
    FileStat st;
    ASSERT_EQ(lstat(file, st), 0);
    EXPECT_EQ(st.size, 300000);
    EXPECT_TRUE(S_ISREG(st.mode));
    EXPECT_LT(st.blocks * 512, 300000);  // only the fork takes room
    EXPECT_GE(st.blocks * 512, static_cast<std::int64_t>(fork.size()));

    // A header that does not parse leaves the empty data fork's size.
    const auto damaged = dir / "damaged";
    test::storeCompressed(damaged, bytes("not a header"));
    ASSERT_EQ(lstat(damaged, st), 0);
    EXPECT_EQ(st.size, 0);
    EXPECT_EQ(st.flags, UF_COMPRESSED);
}

// The status learns which records a file carries from one list of its
// attributes. Records must be found whatever else the list holds, also when
// it is too long to read at once.
TEST(FileSystemTest, StatusFindsEveryRecordBesideOtherAttributes)
{
    TempDir dir;
    const Bytes data = test::sampleText(50000);
    const Bytes fork = test::forkOf(data, test::lzfse);
    const timespec created{1234567890, 987654321};
    for (const int extra : {0, 1, 20}) {  // 20 make a list longer than one read
        SCOPED_TRACE("extra attributes: " + std::to_string(extra));
        const auto sub = dir / ("extra" + std::to_string(extra));
        std::filesystem::create_directory(sub);
        const auto addExtra = [&](const std::filesystem::path& file) {
            for (int i = 0; i < extra; ++i) {
                const std::string name = "org.example.attribute-with-a-rather-long-name-number-" + std::to_string(i);
                ASSERT_EQ(::lsetxattr(file.c_str(), ("user." + name).c_str(), "v", 1, 0), 0);
            }
        };

        const auto flagged = sub / "flagged";
        test::writeRawFile(flagged, bytes("data"));
        addExtra(flagged);
        ASSERT_EQ(chflags(flagged, UF_HIDDEN | UF_NODUMP), 0);
        ASSERT_EQ(setCreationDate(flagged, created), 0);
        FileStat st;
        ASSERT_EQ(lstat(flagged, st), 0);
        EXPECT_EQ(st.flags, UF_HIDDEN | UF_NODUMP);
        EXPECT_EQ(st.birthtime.tv_sec, created.tv_sec);
        EXPECT_EQ(st.birthtime.tv_nsec, created.tv_nsec);
        EXPECT_EQ(st.size, 4);
        EXPECT_TRUE(isHidden(flagged));

        // Attributes first, records after: the records come last in the list.
        const auto compressed = sub / "compressed";
        test::writeRawFile(compressed, {});
        addExtra(compressed);
        test::storeCompressed(compressed, test::decmpfsHeader(12, data.size()), &fork);
        ASSERT_EQ(chflags(compressed, UF_COMPRESSED | UF_HIDDEN), 0);
        ASSERT_EQ(lstat(compressed, st), 0);
        EXPECT_EQ(st.flags, UF_COMPRESSED | UF_HIDDEN);
        EXPECT_EQ(st.size, static_cast<std::int64_t>(data.size()));
        EXPECT_EQ(getAll(compressed, kResourceForkXattrName, XATTR_SHOWCOMPRESSION), fork);
        EXPECT_EQ(names(compressed).size(), static_cast<std::size_t>(extra));

        // A fork beside a data fork is an attribute of its own.
        const auto withFork = sub / "with-fork";
        test::writeRawFile(withFork, bytes("data fork"));
        ASSERT_EQ(setxattr(withFork, kResourceForkXattrName, "rsrc", 4, 0, 0), 0);
        addExtra(withFork);
        EXPECT_EQ(getAll(withFork, kResourceForkXattrName), bytes("rsrc"));
        ASSERT_EQ(lstat(withFork, st), 0);
        EXPECT_EQ(st.size, 9);
        EXPECT_EQ(st.flags, 0u);

        // A record written behind the layer's back is read all the same.
        const auto foreign = sub / "foreign";
        test::writeRawFile(foreign, bytes("x"));
        addExtra(foreign);
        const std::uint8_t hidden[4] = {0x00, 0x80, 0x00, 0x00};
        ASSERT_EQ(::lsetxattr(foreign.c_str(), "user.darwin.flags", hidden, sizeof hidden, 0), 0);
        ASSERT_EQ(lstat(foreign, st), 0);
        EXPECT_EQ(st.flags, UF_HIDDEN);
    }
}

// Asking an open folder about an entry by name gives what lstat of the
// entry's path gives, records included, and never a status without them.
TEST(FileSystemTest, StatusOfAnEntryOfAnOpenFolderIsItsLstat)
{
    TempDir dir;
    const auto folder = dir / "folder";
    std::filesystem::create_directory(folder);
    test::writeRawFile(folder / "plain", bytes("plain data"));
    test::writeRawFile(folder / "noted", bytes("noted"));
    ASSERT_EQ(setxattr(folder / "noted", "org.example.note", "n", 1, 0, 0), 0);
    test::writeRawFile(folder / "flagged", bytes("flagged"));
    ASSERT_EQ(chflags(folder / "flagged", UF_HIDDEN), 0);
    ASSERT_EQ(setCreationDate(folder / "flagged", timespec{1000, 5}), 0);
    const Bytes data = test::sampleText(40000);
    const Bytes fork = test::forkOf(data, test::lzfse);
    test::storeCompressed(folder / "compressed", test::decmpfsHeader(12, data.size()), &fork);
    std::filesystem::create_directory(folder / "sub");
    std::filesystem::create_symlink(folder / "flagged", folder / "link");

    std::vector<DirectoryEntry> entries;
    UniqueFd open;
    ASSERT_EQ(readDirectory(folder, false, entries, open), 0);
    ASSERT_TRUE(open);
    EXPECT_EQ(entries.size(), 6u);
    for (const DirectoryEntry& entry : entries) {
        SCOPED_TRACE(entry.name);
        const auto path = folder / entry.name;
        FileStat byName, byPath;
        ASSERT_EQ(lstatAt(open.get(), entry.name, path, byName), 0);
        ASSERT_EQ(lstat(path, byPath), 0);
        EXPECT_EQ(byName.ino, byPath.ino);
        EXPECT_EQ(byName.mode, byPath.mode);
        EXPECT_EQ(byName.size, byPath.size);
        EXPECT_EQ(byName.blocks, byPath.blocks);
        EXPECT_EQ(byName.flags, byPath.flags);
        EXPECT_EQ(byName.mtime.tv_nsec, byPath.mtime.tv_nsec);
        EXPECT_EQ(byName.birthtime.tv_sec, byPath.birthtime.tv_sec);
        EXPECT_EQ(byName.birthtime.tv_nsec, byPath.birthtime.tv_nsec);
    }
    FileStat st;
    ASSERT_EQ(lstatAt(open.get(), "compressed", folder / "compressed", st), 0);
    EXPECT_EQ(st.size, static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(st.flags, UF_COMPRESSED);
    ASSERT_EQ(lstatAt(open.get(), "flagged", folder / "flagged", st), 0);
    EXPECT_EQ(st.flags, UF_HIDDEN);
    EXPECT_EQ(st.birthtime.tv_sec, 1000);
    ASSERT_EQ(lstatAt(open.get(), "link", folder / "link", st), 0);
    EXPECT_TRUE(S_ISLNK(st.mode));
    EXPECT_EQ(lstatAt(open.get(), "missing", folder / "missing", st), -1);
    EXPECT_EQ(errno, ENOENT);

    // The folder moves away while open: a file without records is still
    // found by name; one with records is never reported without them.
    ASSERT_EQ(platform::rename(folder, dir / "moved"), 0);
    ASSERT_EQ(lstatAt(open.get(), "plain", folder / "plain", st), 0);
    EXPECT_EQ(st.size, 10);
    const int flagged = lstatAt(open.get(), "flagged", folder / "flagged", st);
    EXPECT_TRUE(flagged == -1 ? errno == ENOENT : st.flags == UF_HIDDEN);
    const int compressed = lstatAt(open.get(), "compressed", folder / "compressed", st);
    EXPECT_TRUE(compressed == -1 ? errno == ENOENT : st.size == static_cast<std::int64_t>(data.size()));
}

// Kelvane swaps a file for its compressed or plain form by renaming a new
// file over it; the status read by name meanwhile must describe one of the
// two files, never the size of one with the records of the other.
TEST(FileSystemTest, StatusOfANameSwappedMeanwhileIsOneWholeFile)
{
    TempDir dir;
    const Bytes data = test::sampleText(200000, 3);
    const Bytes fork = test::forkOf(data, test::lzfse);
    test::storeCompressed(dir / "packed", test::decmpfsHeader(12, data.size()), &fork);
    test::writeRawFile(dir / "plain", data);
    ASSERT_EQ(::link((dir / "plain").c_str(), (dir / "name").c_str()), 0);

    // A swap every 100 us, each status read about ten times in between: a
    // file's compression takes far longer than that.
    std::atomic<bool> stop = false;
    std::thread swapper([&] {
        for (int round = 0; !stop; ++round) {
            const auto source = dir / (round % 2 ? "plain" : "packed");
            if (::link(source.c_str(), (dir / "next").c_str()) != 0 ||
                ::rename((dir / "next").c_str(), (dir / "name").c_str()) != 0)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    std::vector<DirectoryEntry> entries;
    UniqueFd open;
    ASSERT_EQ(readDirectory(dir.path(), false, entries, open), 0);
    int wrong = 0, packedSeen = 0;
    for (int i = 0; i < 20000 && wrong < 5; ++i) {
        FileStat st;
        const int result = i % 2 ? lstat(dir / "name", st) : lstatAt(open.get(), "name", dir / "name", st);
        if (result != 0) {
            ++wrong;
            ADD_FAILURE() << "status " << i << " failed: " << std::strerror(errno);
            continue;
        }
        packedSeen += st.flags == UF_COMPRESSED ? 1 : 0;
        if (st.size != static_cast<std::int64_t>(data.size()) || (st.flags != 0 && st.flags != UF_COMPRESSED)) {
            ++wrong;
            ADD_FAILURE() << "status " << i << ": size " << st.size << ", flags " << st.flags;
        }
    }
    stop = true;
    swapper.join();
    EXPECT_GT(packedSeen, 0) << "the swaps never showed the compressed form";
}

// A file that another program writes to without pause changes its change
// time between any two calls: its status must still be had, with the size
// of some moment of the writing. So must that of a compressed file another
// program appends to (read as the original followed by what was appended).
TEST(FileSystemTest, StatusOfAFileWrittenWithoutPauseIsHad)
{
    TempDir dir;
    const Bytes data = test::sampleText(20000, 4);
    const Bytes fork = test::forkOf(data, test::lzfse);
    test::storeCompressed(dir / "packed", test::decmpfsHeader(12, data.size()), &fork);
    test::writeRawFile(dir / "log", bytes("first line\n"));
    std::atomic<bool> stop = false, writerEnded = false;
    std::atomic<long> written = 0;
    std::thread writer([&] {
        const UniqueFd log(::open((dir / "log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        const UniqueFd packed(::open((dir / "packed").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        for (; log && packed && !stop; ++written)
            if (::write(log.get(), "x", 1) != 1 || ::write(packed.get(), "y", 1) != 1)
                break;
        writerEnded = true;
    });
    while (written < 1000 && !writerEnded)
        std::this_thread::yield();
    if (writerEnded) {
        writer.join();
        FAIL() << "the writer stopped after " << written << " writes";
    }
    std::vector<DirectoryEntry> entries;
    UniqueFd open;
    ASSERT_EQ(readDirectory(dir.path(), false, entries, open), 0);
    int failed = 0;
    std::int64_t last[2] = {0, static_cast<std::int64_t>(data.size())};
    for (int i = 0; i < 4000 && failed < 5; ++i) {
        const char* name = i % 4 < 2 ? "log" : "packed";
        FileStat st;
        const int result = i % 2 ? lstat(dir / name, st) : lstatAt(open.get(), name, dir / name, st);
        if (result != 0) {
            ++failed;
            ADD_FAILURE() << "status " << i << " of " << name << " failed: " << std::strerror(errno);
            continue;
        }
        std::int64_t& before = last[i % 4 < 2 ? 0 : 1];
        EXPECT_GE(st.size, before) << "status " << i << " of " << name << " went back in time";
        before = st.size;
        if (name[0] == 'p') {
            EXPECT_EQ(st.flags, UF_COMPRESSED) << "status " << i;
        }
    }
    stop = true;
    writer.join();
    EXPECT_GT(last[1], static_cast<std::int64_t>(data.size())) << "the appended bytes were never seen";
}

// A write-open drops the records another program left stale; a compressed
// file renamed over the name meanwhile must keep its own.
TEST(FileSystemTest, StaleRecordsAreDroppedOnlyFromTheFileTheyWereReadFrom)
{
    TempDir dir;
    const Bytes data = test::sampleText(100000, 5);
    const Bytes fork = test::forkOf(data, test::lzfse);
    test::storeCompressed(dir / "good", test::decmpfsHeader(12, data.size()), &fork);
    const auto makeStale = [&](const std::filesystem::path& path) {
        test::storeCompressed(path, test::decmpfsHeader(1, 3) + bytes("abc"));
        test::writeRawFile(path, bytes("written by another program"));
    };
    makeStale(dir / "name");

    std::atomic<bool> stop = false;
    std::thread swapper([&] {
        for (int round = 0; !stop; ++round) {
            if (round % 2)
                makeStale(dir / "next");
            else if (::link((dir / "good").c_str(), (dir / "next").c_str()) != 0)
                break;
            if (::rename((dir / "next").c_str(), (dir / "name").c_str()) != 0)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(10));
        }
    });
    // A drop that reaches the wrong file needs the swap to land between two
    // calls a few microseconds apart: about one write-open in 50,000 did, so
    // the opens go on until the compressed file breaks or 200,000 are done.
    int opened = 0;
    FileStat st;
    bool intact = true;
    for (int i = 0; i < 200000 && intact; ++i) {
        // The compressed file refuses a write-open without truncation; the
        // stale one loses its records and opens.
        UniqueFd fd = open(dir / "name", O_WRONLY);
        opened += fd ? 1 : 0;
        if (i % 1000 == 999)
            intact = lstat(dir / "good", st) == 0 && st.flags == UF_COMPRESSED;
    }
    stop = true;
    swapper.join();
    EXPECT_GT(opened, 0) << "no write-open met the stale file";
    ASSERT_EQ(lstat(dir / "good", st), 0);
    EXPECT_EQ(st.flags, UF_COMPRESSED);
    EXPECT_EQ(st.size, static_cast<std::int64_t>(data.size()));
    Bytes back;
    ASSERT_EQ(readWholeFile(dir / "good", back), 0);
    EXPECT_EQ(back, data);
}

TEST(FileSystemTest, PackagesAreDirectoriesWithKnownExtensions)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "Tool.app");
    std::filesystem::create_directory(dir / "Archive.XCARCHIVE");
    std::filesystem::create_directory(dir / "folder.txt");
    test::writeRawFile(dir / "file.app", {});
    EXPECT_TRUE(isPackage(dir / "Tool.app"));
    EXPECT_TRUE(isPackage(dir / "Archive.XCARCHIVE"));
    EXPECT_FALSE(isPackage(dir / "folder.txt"));
    EXPECT_FALSE(isPackage(dir / "file.app"));
    EXPECT_FALSE(isPackage(dir / "missing.app"));
    EXPECT_TRUE(isPackageExtension("Framework"));
    EXPECT_FALSE(isPackageExtension(""));
}

// Runs `body` in a child process as an unprivileged user; the child's exit
// status is the number of the first check that failed (0: all passed).
int runAsNobody(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST(FileSystemTest, OwnerSetsFlagsAttributesAndForkOfAReadOnlyFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    const auto file = dir / "readonly";
    const auto other = dir / "others";
    test::writeRawFile(file, {});
    test::writeRawFile(other, {});
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(other.c_str(), 0666), 0);

    const int failed = runAsNobody([&]() -> int {
        if (setxattr(file, "note", "n", 1, 0, 0) != 0)
            return 1;
        if (chflags(file, UF_HIDDEN) != 0)
            return 2;
        if (setCreationDate(file, timespec{42, 0}) != 0)
            return 3;
        if (setxattr(file, kResourceForkXattrName, "fork", 4, 0, 0) != 0)
            return 4;
        if (removexattr(file, "note", 0) != 0)
            return 5;
        if (chflags(file, UF_HIDDEN | SF_ARCHIVED) != -1 || errno != EPERM)
            return 6;  // super-user flags
        if (chflags(other, UF_HIDDEN) != -1 || errno != EPERM)
            return 7;  // not the owner
        return 0;
    });
    EXPECT_EQ(failed, 0);

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);  // mode restored after each call
    FileStat fs;
    ASSERT_EQ(lstat(file, fs), 0);
    EXPECT_EQ(fs.flags, UF_HIDDEN);
    EXPECT_EQ(fs.birthtime.tv_sec, 42);
    EXPECT_EQ(getAll(file, kResourceForkXattrName), bytes("fork"));

    // Once set by root, an unprivileged owner cannot clear super-user flags.
    ASSERT_EQ(chflags(file, UF_HIDDEN | SF_ARCHIVED), 0);
    EXPECT_EQ(runAsNobody([&] { return chflags(file, UF_HIDDEN) == -1 && errno == EPERM ? 0 : 1; }), 0);
    EXPECT_EQ(runAsNobody([&] { return chflags(file, SF_ARCHIVED) == 0 ? 0 : 1; }), 0);  // SF_* unchanged
}

// The no-follow calls act on a regular file as the following ones do, and on a
// link never reach its target: a link takes no mode, flags, date, ACL or fork.
TEST(FileSystemTest, NoFollowCallsNeverReachALinksTarget)
{
    TempDir dir;
    const auto target = dir / "target";
    const auto link = dir / "link";
    test::writeRawFile(target, {1, 2, 3});
    ASSERT_EQ(chmod(target, 0640), 0);
    std::filesystem::create_symlink(target, link);
    const timespec date{1234, 5};
    const Acl acl = Acl::fromText("user::rw-\nuser:4321:r--\ngroup::r--\nmask::r--\nother::---\n");
    ASSERT_TRUE(acl);

    EXPECT_NE(lchmod(link, 0604), 0);
    EXPECT_NE(lchflags(link, UF_HIDDEN), 0);
    EXPECT_NE(lsetCreationDate(link, date), 0);
    EXPECT_NE(aclSetLinkExtended(link, acl), 0);
    EXPECT_FALSE(open(resourceForkPath(link), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600));
    EXPECT_EQ(lchown(link, ::geteuid(), ::getegid()), 0);
    FileStat st;
    ASSERT_EQ(lstat(target, st), 0);
    EXPECT_EQ(st.mode & 07777, 0640u);
    EXPECT_EQ(st.flags, 0u);
    EXPECT_NE(st.birthtime.tv_sec, date.tv_sec);
    EXPECT_FALSE(aclGetFileExtended(target));
    EXPECT_EQ(test::readRawFile(target), (Bytes{1, 2, 3}));

    EXPECT_EQ(lchmod(target, 0604), 0);
    EXPECT_EQ(lchflags(target, UF_HIDDEN), 0);
    EXPECT_EQ(lsetCreationDate(target, date), 0);
    EXPECT_EQ(aclSetLinkExtended(target, acl), 0);
    ASSERT_EQ(lstat(target, st), 0);
    EXPECT_EQ(st.mode & 07777, 0604u);  // an ACL leaves the mode bits alone
    EXPECT_EQ(st.flags, UF_HIDDEN);
    EXPECT_EQ(st.birthtime.tv_sec, date.tv_sec);
    EXPECT_EQ(st.birthtime.tv_nsec, date.tv_nsec);
    EXPECT_NE(aclGetFileExtended(target).toText().find("user:4321:r--"), std::string::npos);
}

}  // namespace
}  // namespace kelvane::platform
