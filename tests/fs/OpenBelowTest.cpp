// SPDX-License-Identifier: MIT
// Opening and truncating below the mount never writes into a compressed
// file's stored bytes, whatever Kelvane did to the file since the mount
// decompressed it.

#include "fs/OpenBelow.h"
#include "fs/TextLines.h"

#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::fs::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class OpenBelowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folderFd_.reset(::open(dir_.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(folderFd_);
    }
    int folder() const { return folderFd_.get(); }

    kelvane::test::TempDir dir_;
    platform::UniqueFd folderFd_;
};

TEST_F(OpenBelowTest, ACompressedFileIsNeitherOpenedForWritingNorTruncatedAndStaysIntact)
{
    const Bytes original = compressibleLines(300000);
    kelvane::test::writeRawFile(dir_ / "kept.txt", original);
    engine::FileCompressor{}.compressFile(dir_ / "kept.txt");
    platform::FileStat before;
    ASSERT_EQ(platform::lstat(dir_ / "kept.txt", before), 0);
    ASSERT_TRUE(before.flags & platform::UF_COMPRESSED);
    const Bytes stored = kelvane::test::readRawFile(dir_ / "kept.txt");

    // As if Kelvane had compressed it again after the mount decompressed it
    // for this caller: every way of writing is refused before any byte moves.
    platform::FileStat view;
    for (const int flags : {O_WRONLY, O_RDWR, O_WRONLY | O_TRUNC, O_RDWR | O_TRUNC, O_RDONLY | O_TRUNC,
                            O_WRONLY | O_CREAT | O_TRUNC, O_WRONLY | O_APPEND}) {
        errno = 0;
        EXPECT_FALSE(openBelow(folder(), "kept.txt", flags, 0600, view)) << flags;
        EXPECT_EQ(errno, EIO) << flags;
    }
    EXPECT_EQ(truncateBelow(folder(), "kept.txt", 0), EIO);
    EXPECT_EQ(truncateBelow(folder(), "kept.txt", 1000), EIO);

    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "kept.txt"), stored) << "the stored bytes are untouched";
    platform::FileStat after;
    ASSERT_EQ(platform::lstat(dir_ / "kept.txt", after), 0);
    EXPECT_TRUE(after.flags & platform::UF_COMPRESSED);
    EXPECT_EQ(after.size, before.size);
    Bytes read;
    ASSERT_EQ(platform::readWholeFile(dir_ / "kept.txt", read), 0);
    EXPECT_EQ(read, original);

    // Reading it is still open to all.
    const platform::UniqueFd reader = openBelow(folder(), "kept.txt", O_RDONLY, 0, view);
    ASSERT_TRUE(reader) << std::strerror(errno);
    EXPECT_TRUE(view.flags & platform::UF_COMPRESSED);
    EXPECT_EQ(view.size, static_cast<std::int64_t>(original.size()));
}

TEST_F(OpenBelowTest, PlainFilesOpenAndTruncateAsTheSystemCallsWould)
{
    const Bytes original = compressibleLines(5000);
    platform::FileStat view;
    for (const int flags : {O_WRONLY | O_TRUNC, O_RDWR | O_TRUNC, O_RDONLY | O_TRUNC, O_WRONLY | O_CREAT | O_TRUNC}) {
        kelvane::test::writeRawFile(dir_ / "plain.txt", original);
        const platform::UniqueFd fd = openBelow(folder(), "plain.txt", flags, 0600, view);
        ASSERT_TRUE(fd) << flags << ": " << std::strerror(errno);
        EXPECT_EQ(view.size, 0) << flags << ": the view is the file as it is now";
        EXPECT_TRUE(kelvane::test::readRawFile(dir_ / "plain.txt").empty()) << flags;
    }

    kelvane::test::writeRawFile(dir_ / "plain.txt", original);
    {
        const platform::UniqueFd fd = openBelow(folder(), "plain.txt", O_WRONLY | O_APPEND, 0, view);
        ASSERT_TRUE(fd);
        EXPECT_EQ(view.size, static_cast<std::int64_t>(original.size()));
        ASSERT_EQ(::write(fd.get(), "+", 1), 1);
    }
    Bytes expected = original;
    expected.push_back('+');
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "plain.txt"), expected);

    EXPECT_EQ(truncateBelow(folder(), "plain.txt", 1234), 0);
    expected.resize(1234);
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "plain.txt"), expected);
    EXPECT_EQ(truncateBelow(folder(), "plain.txt", 4000), 0);
    expected.resize(4000, 0);
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "plain.txt"), expected) << "a longer size pads with zeros";

    // A new file with O_CREAT, and the failures the system calls give.
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        const platform::UniqueFd fd = openBelow(folder(), "new.txt", O_WRONLY | O_CREAT | O_EXCL | O_TRUNC, 0640, view);
        ASSERT_TRUE(fd) << std::strerror(errno);
        EXPECT_TRUE(S_ISREG(view.mode));
        EXPECT_EQ(view.mode & 0777, 0640u & ~mask);
    }
    errno = 0;
    EXPECT_FALSE(openBelow(folder(), "new.txt", O_WRONLY | O_CREAT | O_EXCL, 0600, view));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(truncateBelow(folder(), "missing.txt", 0), ENOENT);
    ASSERT_EQ(::mkdirat(folder(), "folder", 0700), 0);
    EXPECT_EQ(truncateBelow(folder(), "folder", 0), EISDIR);
    ASSERT_EQ(::symlinkat("plain.txt", folder(), "link"), 0);
    EXPECT_FALSE(openBelow(folder(), "link", O_RDONLY, 0, view)) << "a link at the end is never followed";
    EXPECT_EQ(truncateBelow(folder(), "link", 0), ELOOP);
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "plain.txt"), expected);

    // O_TRUNC means nothing for a FIFO: it opens (without waiting for a writer).
    ASSERT_EQ(::mkfifoat(folder(), "fifo", 0600), 0);
    const platform::UniqueFd fifo = openBelow(folder(), "fifo", O_RDONLY | O_NONBLOCK | O_TRUNC, 0, view);
    ASSERT_TRUE(fifo) << std::strerror(errno);
    EXPECT_TRUE(S_ISFIFO(view.mode));
}

}  // namespace
}  // namespace kelvane::fs::test
