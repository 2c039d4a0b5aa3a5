// SPDX-License-Identifier: MIT
// Everything that is not a compressed file passes through the mount
// unchanged: odd names, long paths, links, FIFOs and device nodes, and as
// many open files as a program may hold.

#include "fs/MountFixture.h"

#include <atomic>
#include <dirent.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <thread>

namespace kelvane::fs::test {
namespace {

class PassThroughTest : public MountTest {
protected:
    std::vector<std::string> listed(const Path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(PassThroughTest, ManyFilesOpenThroughTheMountAtOnceBeyondTheSoftLimitOfDescriptors)
{
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i)
        kelvane::test::writeRawFile(at("f" + std::to_string(i)), Bytes(100, static_cast<std::uint8_t>(i)));
    // The daemon starts with a soft limit of descriptors below what the
    // files take there, as a desktop session's 1,024 would be for more files.
    rlimit ours{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &ours), 0);
    if (ours.rlim_max < 4 * kFiles)
        GTEST_SKIP() << "the hard limit of descriptors here is too low: " << ours.rlim_max;
    rlimit low = ours;
    low.rlim_cur = kFiles - 44;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    Mount& mount = mountFolder();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &ours), 0);
    rlimit daemon{};
    ASSERT_EQ(::prlimit(mount.pid(), RLIMIT_NOFILE, nullptr, &daemon), 0);
    EXPECT_EQ(daemon.rlim_cur, daemon.rlim_max) << "raised to the hard limit";

    std::vector<platform::UniqueFd> held;
    for (int i = 0; i < kFiles; ++i) {
        held.emplace_back(::open(at("f" + std::to_string(i)).c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(held.back()) << i << ": " << std::strerror(errno);
    }

    EXPECT_EQ(readAll(at("f7")), Bytes(100, 7));
}

// A listing's last answer lets the caller close the folder at once: the
// daemon must be done with the folder's handle by then. Listed and closed
// from several threads over and over, every listing is whole and the
// daemon lives on.
TEST_F(PassThroughTest, FoldersListedAndClosedInParallelListEveryEntryAndTheDaemonLivesOn)
{
    constexpr int kFolders = 8, kFiles = 40, kThreads = 6, kRounds = 150;
    for (int f = 0; f < kFolders; ++f) {
        std::filesystem::create_directories(at("d" + std::to_string(f)));
        for (int i = 0; i < kFiles; ++i)
            kelvane::test::writeRawFile(at("d" + std::to_string(f)) / ("f" + std::to_string(i)), {1});
    }
    Mount& mount = mountFolder();
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds && wrong == 0; ++round) {
                DIR* dir = ::opendir(at("d" + std::to_string((t + round) % kFolders)).c_str());
                if (!dir) {
                    ++wrong;
                    return;
                }
                int entries = 0;
                errno = 0;
                while (const dirent* entry = ::readdir(dir))
                    entries += entry->d_name[0] != '.';
                if (errno != 0 || entries != kFiles)
                    ++wrong;
                ::closedir(dir);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(mount.exited()) << "the daemon ended";
    EXPECT_EQ(listed(at("d0")).size(), static_cast<std::size_t>(kFiles));
}

TEST_F(PassThroughTest, NamesAtTheLimitsNewlinesAndInvalidUtf8PassThrough)
{
    mountFolder();
    const std::string longest(255, 'n');
    const std::string newline = "two\nlines";
    const std::string invalid = "bad-\xff\xfe-utf8";
    for (const std::string& name : {longest, newline, invalid})
        kelvane::test::writeRawFile(at(name), Bytes(name.begin(), name.end()));
    EXPECT_EQ(listed(folder()), (std::vector<std::string>{invalid, longest, newline}));
    for (const std::string& name : {longest, newline, invalid})
        EXPECT_EQ(readAll(at(name)), Bytes(name.begin(), name.end()));
    EXPECT_EQ(::open(at(longest + "x").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600), -1);
    EXPECT_EQ(errno, ENAMETOOLONG);

    // A path through the mount exactly at the host's limit (PATH_MAX with its zero byte).
    std::string path = folder().string();
    while (path.size() + 1 + 200 < PATH_MAX - 1 - 20) {
        path += "/" + std::string(200, 'd');
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << std::strerror(errno);
    }
    path += "/" + std::string(PATH_MAX - 1 - path.size() - 1, 'f');
    ASSERT_EQ(path.size(), static_cast<std::size_t>(PATH_MAX - 1));
    kelvane::test::writeRawFile(path, {'d', 'e', 'e', 'p'});
    EXPECT_EQ(readAll(path), (Bytes{'d', 'e', 'e', 'p'}));
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 4);
}

TEST_F(PassThroughTest, LinksFifosAndDeviceNodesPassThrough)
{
    const Path outside = temp_.path() / "outside.txt";
    kelvane::test::writeRawFile(outside, {'o', 'u', 't'});
    mountFolder();

    // A symbolic link pointing out of the mount is followed by the caller, as below.
    ASSERT_EQ(::symlink(outside.c_str(), at("out-link").c_str()), 0);
    char target[PATH_MAX] = {};
    ASSERT_EQ(::readlink(at("out-link").c_str(), target, sizeof target), static_cast<ssize_t>(outside.native().size()));
    EXPECT_EQ(std::string(target), outside.string());
    EXPECT_EQ(readAll(at("out-link")), (Bytes{'o', 'u', 't'}));
    struct stat st {};
    ASSERT_EQ(::lstat(at("out-link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Hard links: one inode, seen under both names, with its link count.
    kelvane::test::writeRawFile(at("first"), {'1'});
    ASSERT_EQ(::link(at("first").c_str(), at("second").c_str()), 0) << std::strerror(errno);
    struct stat first {}, second {};
    ASSERT_EQ(::stat(at("first").c_str(), &first), 0);
    ASSERT_EQ(::stat(at("second").c_str(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino);
    EXPECT_EQ(second.st_nlink, 2u);
    {
        platform::UniqueFd fd(::open(at("second").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        ASSERT_EQ(::write(fd.get(), "2", 1), 1);
    }
    EXPECT_EQ(readAll(at("first")), (Bytes{'1', '2'}));

    // A FIFO made through the mount is a FIFO below.
    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::lstat(at("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // Renames keep names and contents apart, and replace what they replace.
    kelvane::test::writeRawFile(at("a"), {'a'});
    kelvane::test::writeRawFile(at("b"), {'b'});
    ASSERT_EQ(::rename(at("a").c_str(), at("b").c_str()), 0);
    EXPECT_EQ(readAll(at("b")), (Bytes{'a'}));
    EXPECT_FALSE(std::filesystem::exists(at("a")));

    if (::geteuid() == 0) {
        // A device node keeps its type and number (only root may make one).
        ASSERT_EQ(::mknod(at("null").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0) << std::strerror(errno);
        ASSERT_EQ(::lstat(at("null").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        EXPECT_EQ(st.st_rdev, makedev(1, 3));
    }

    unmount();
    // Below the mount, the same objects.
    struct stat below {};
    ASSERT_EQ(::lstat(at("pipe").c_str(), &below), 0);
    EXPECT_TRUE(S_ISFIFO(below.st_mode));
    ASSERT_EQ(::lstat(at("second").c_str(), &below), 0);
    EXPECT_EQ(below.st_ino, first.st_ino) << "inode numbers through the mount are those below";
    EXPECT_EQ(kelvane::test::readRawFile(at("b")), (Bytes{'a'}));
}

// Many file systems keep change times coarser than the writes that come one
// after the other (whole seconds with 128-byte inodes, a clock tick on
// kernels before 6.13): a file appended to through the mount must show
// every write in its size and contents all the same. Served here from such
// a file system on a loop device, which only root may mount.
TEST_F(PassThroughTest, AFileAppendedToManyTimesWithinOneChangeTimeShowsEveryWrite)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system with whole-second change times needs root";
    const Path image = temp_.path() / "coarse.img";
    {
        std::ofstream(image.string()).close();
        std::filesystem::resize_file(image, 32u << 20);
    }
    std::string output;
    if (runProgram({"mkfs.ext4", "-q", "-F", "-I", "128", image.string()}, &output) != 0)
        GTEST_SKIP() << "mkfs.ext4 cannot make the file system: " << output;
    if (runProgram({"mount", "-o", "loop", image.string(), folder().string()}, &output) != 0)
        GTEST_SKIP() << "cannot mount a loop device here: " << output;
    struct AtEnd {
        std::function<void()> run;
        ~AtEnd() { run(); }
    } unmounted{[this] {
        unmount();
        runProgram({"umount", folder().string()});
    }};
    mountFolder();

    std::string expected;
    platform::UniqueFd logger(::open(at("app.log").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(logger) << std::strerror(errno);
    int wrongSizes = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string line = "entry " + std::to_string(i) + "\n";
        ASSERT_EQ(::write(logger.get(), line.data(), line.size()), static_cast<ssize_t>(line.size()));
        expected += line;
        struct stat st {};
        ASSERT_EQ(::stat(at("app.log").c_str(), &st), 0);
        if (st.st_size != static_cast<off_t>(expected.size()))
            ++wrongSizes;
    }
    EXPECT_EQ(wrongSizes, 0) << "sizes shown that missed the last write";
    const Bytes now = readAll(at("app.log"));
    EXPECT_EQ(std::string(now.begin(), now.end()), expected);
    logger.reset();
    unmount();
    EXPECT_EQ(kelvane::test::readRawFile(at("app.log")), Bytes(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace kelvane::fs::test
