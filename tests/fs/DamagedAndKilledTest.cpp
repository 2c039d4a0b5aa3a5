// SPDX-License-Identifier: MIT
// Damaged files read as the stand-in says and never stop the daemon from
// serving the others; a daemon killed mid-way leaves the files intact.

#include "fs/MountFixture.h"
#include "fs/TextLines.h"

#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/KelvanefsMount.h"

#include <atomic>
#include <map>
#include <sys/xattr.h>

namespace kelvane::fs::test {
namespace {

std::uint32_t load32(const Bytes& bytes, std::size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

class DamagedAndKilledTest : public MountTest {
protected:
    void writeCompressed(const std::map<std::string, Bytes>& files)
    {
        for (const auto& [name, bytes] : files) {
            originals_[name] = bytes;
            kelvane::test::writeRawFile(at(name), bytes);
            engine::FileCompressor{}.compressFile(at(name));
        }
    }

    // Overwrites bytes of the data stream below the mount in place.
    void overwriteBelow(const std::string& name, std::size_t offset, std::string_view bytes)
    {
        platform::UniqueFd fd(::open(lower(name).c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::pwrite(fd.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset)),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Every file below reads back through the platform as it was written.
    void expectIntactBelow()
    {
        for (const auto& [name, bytes] : originals_) {
            Bytes back;
            ASSERT_EQ(platform::readWholeFile(lower(name), back), 0) << name;
            EXPECT_EQ(back, bytes) << name;
        }
    }

    // After a kill: the dead mount goes, every file is intact below, and a
    // new mount reads each as it was.
    void expectTheKilledMountGoneAndANewOneServing()
    {
        EXPECT_TRUE(waitFor([&] { return !isKelvanefsMountAt(folder()); }))
            << "auto_unmount removes the dead mount; " << fusermountHelpers();
        expectIntactBelow();
        unmount();
        mountFolder();
        for (const auto& [name, bytes] : originals_)
            EXPECT_EQ(readAll(at(name)), bytes) << name;
    }

    std::map<std::string, Bytes> originals_;
};

TEST_F(DamagedAndKilledTest, DamagedFilesFailWithEioOrReadPlainAndTheOthersStillRead)
{
    writeCompressed({{"good.txt", randomRecords(400000, 1)},
                     {"header.txt", randomRecords(200000, 2)},
                     {"table.txt", randomRecords(200000, 3)},
                     {"block.txt", randomRecords(300000, 4)},
                     {"shortened.txt", randomRecords(300000, 5)}});
    // A header without its magic.
    ASSERT_EQ(::setxattr(lower("header.txt").c_str(), "user.com.apple.decmpfs", "fpmX\x0c\0\0\0", 8, 0), 0);
    // An offset table whose first entry points past the fork.
    overwriteBelow("table.txt", 0, std::string_view("\xff\xff\xff\x7f", 4));
    // Block 1 of three no longer starts like an LZFSE block.
    const Bytes fork = kelvane::test::readRawFile(lower("block.txt"));
    const std::uint32_t blockOne = load32(fork, 4);
    overwriteBelow("block.txt", blockOne, "XXXX");
    // Recorded as they are: stored that way, not written over by another
    // program (which would make them ordinary files of what they hold).
    recordForkAsItIs(lower("table.txt"));
    recordForkAsItIs(lower("block.txt"));
    // Another program cut the fork short below the mount: the length rule
    // makes it an ordinary file of the bytes it now holds.
    const Bytes shortenedFork = kelvane::test::readRawFile(lower("shortened.txt"));
    ASSERT_EQ(::truncate(lower("shortened.txt").c_str(), static_cast<off_t>(shortenedFork.size() / 2)), 0);

    mountFolder();
    EXPECT_EQ(readError(at("header.txt")), EIO);
    EXPECT_EQ(readError(at("table.txt")), EIO);
    EXPECT_EQ(readError(at("block.txt")), EIO);
    {
        // The block before the damage still reads; the damaged one fails, never zero-filled.
        platform::UniqueFd fd(::open(at("block.txt").c_str(), O_RDONLY | O_CLOEXEC));
        Bytes buffer(65536);
        ASSERT_EQ(::pread(fd.get(), buffer.data(), buffer.size(), 0), 65536);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), originals_["block.txt"].begin()));
        EXPECT_EQ(::pread(fd.get(), buffer.data(), 100, 65536 + 10), -1);
        EXPECT_EQ(errno, EIO);
        EXPECT_EQ(::pread(fd.get(), buffer.data(), 100, 2 * 65536), 100);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 100, originals_["block.txt"].begin() + 2 * 65536));
    }
    EXPECT_EQ(readAll(at("shortened.txt")),
              Bytes(shortenedFork.begin(), shortenedFork.begin() + static_cast<long>(shortenedFork.size() / 2)));
    struct stat st {};
    ASSERT_EQ(::stat(at("shortened.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, static_cast<off_t>(shortenedFork.size() / 2));

    EXPECT_EQ(readAll(at("good.txt")), originals_["good.txt"]);
    EXPECT_FALSE(mount()->exited()) << "the daemon goes on serving";
}

TEST_F(DamagedAndKilledTest, KillingTheDaemonDuringReadsLeavesTheFilesIntactAndANewMountServesThem)
{
    writeCompressed({{"big.txt", randomRecords(6 << 20, 6)}, {"small.txt", randomRecords(3000, 7)}});
    Mount& first = mountFolder();

    std::atomic<bool> reading = false;
    std::atomic<int> failures = 0;
    std::thread reader([&] {
        Bytes buffer(1 << 16);
        for (int round = 0; round < 1000 && failures == 0; ++round) {
            platform::UniqueFd fd(::open(at("big.txt").c_str(), O_RDONLY | O_CLOEXEC));
            if (!fd) {
                ++failures;
                break;
            }
            for (ssize_t got; (got = ::read(fd.get(), buffer.data(), buffer.size())) != 0;) {
                reading = true;
                if (got < 0) {
                    ++failures;
                    break;
                }
            }
        }
    });
    ASSERT_TRUE(waitFor([&] { return reading.load(); }));
    first.kill();
    reader.join();
    expectTheKilledMountGoneAndANewOneServing();
}

TEST_F(DamagedAndKilledTest, KillingTheDaemonDuringAWriteOpensDecompressionLeavesTheFileIntact)
{
    // Above the streaming threshold, so the decompression takes a while.
    writeCompressed({{"large.txt", randomRecords(40 << 20, 8)}});
    Mount& first = mountFolder();

    std::atomic<bool> opened = false;
    std::thread writer([&] {
        platform::UniqueFd fd(::open(at("large.txt").c_str(), O_RDWR | O_CLOEXEC));
        opened = true;
    });
    // Killed once the temporary file is there, or at the latest when the open returns.
    const bool temporarySeen = waitFor([&] {
        std::error_code code;
        return opened.load() || std::filesystem::exists(lower("large.txt.kvtmp"), code);
    });
    EXPECT_TRUE(temporarySeen);
    first.kill();
    writer.join();
    expectTheKilledMountGoneAndANewOneServing();
    std::vector<std::string> listed;
    for (const auto& entry : std::filesystem::directory_iterator(folder()))
        listed.push_back(entry.path().filename().string());
    EXPECT_EQ(listed, std::vector<std::string>{"large.txt"}) << "a leftover temporary file stays out of sight";
}

TEST_F(DamagedAndKilledTest, SigtermUnmountsCleanlyAndTakesTheSocketAway)
{
    writeCompressed({{"one.txt", randomRecords(100000, 10)}});
    Mount& mount = mountFolder();
    const Path socket = platform::kelvanefsSocketPath(folder());
    ASSERT_TRUE(std::filesystem::exists(socket));
    ASSERT_EQ(::kill(mount.pid(), SIGTERM), 0);
    ASSERT_TRUE(waitFor([&] { return mount.exited(); }));
    EXPECT_TRUE(WIFEXITED(mount.status()) && WEXITSTATUS(mount.status()) == 0) << "status " << mount.status();
    EXPECT_FALSE(isKelvanefsMountAt(folder()));
    EXPECT_FALSE(std::filesystem::exists(socket));
    expectIntactBelow();
}

TEST_F(DamagedAndKilledTest, ASecondKelvanefsOnTheSameFolderIsRefused)
{
    writeCompressed({{"one.txt", randomRecords(100000, 9)}});
    mountFolder();
    std::string output;
    EXPECT_EQ(runProgram({kKelvanefs.string(), "-f", folder().string()}, &output), 1);
    EXPECT_NE(output.find("already mounted with kelvanefs"), std::string::npos) << output;
    std::filesystem::create_directories(at("inner"));
    EXPECT_EQ(runProgram({kKelvanefs.string(), "-f", at("inner").string()}, &output), 1);
    EXPECT_NE(output.find("already mounted with kelvanefs"), std::string::npos) << output;
    EXPECT_EQ(readAll(at("one.txt")), originals_["one.txt"]) << "the first mount goes on";
}

}  // namespace
}  // namespace kelvane::fs::test
