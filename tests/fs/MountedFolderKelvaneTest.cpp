// SPDX-License-Identifier: MIT
// Kelvane on a folder that kelvanefs covers: it reaches the raw records
// through the mount's socket, and refuses to touch anything without it.

#include "fs/MountFixture.h"

#include "discovery/RegistrationCoordinator.h"
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/KelvanefsMount.h"
#include "store/ModelContainer.h"

#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <random>
#include <sys/xattr.h>

namespace kelvane::fs::test {
namespace {

Bytes words(std::size_t count, unsigned seed)
{
    static const char* list[] = {"ledger ", "invoice ", "total ", "圧縮 ", "march\n", "ファイル ", "42 "};
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < count) {
        const std::string_view word = list[rng() % std::size(list)];
        out.insert(out.end(), word.begin(), word.end());
    }
    out.resize(count);
    return out;
}

class MountedFolderKelvaneTest : public MountTest {
protected:
    bool compressedBelow(const std::string& name) const
    {
        platform::FileStat st;
        return platform::lstat(lower(name), st) == 0 && (st.flags & platform::UF_COMPRESSED);
    }
};

TEST_F(MountedFolderKelvaneTest, CompressAndDecompressThroughTheSocketWhileAnotherProcessReads)
{
    const Bytes original = words(900000, 7);
    kelvane::test::writeRawFile(at("book.txt"), original);
    mountFolder();

    // Another process reads the file through the mount the whole time.
    int stopPipe[2];
    ASSERT_EQ(::pipe(stopPipe), 0);
    const pid_t reader = ::fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        ::close(stopPipe[1]);
        int wrong = 0;
        int rounds = 0;
        std::vector<std::uint8_t> buffer(original.size() + 1);
        for (;;) {
            pollfd stop{stopPipe[0], POLLIN, 0};
            if (::poll(&stop, 1, 0) > 0 && rounds > 0)
                break;
            const int fd = ::open(at("book.txt").c_str(), O_RDONLY | O_CLOEXEC);
            std::size_t done = 0;
            for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer.data() + done, buffer.size() - done)) > 0;)
                done += static_cast<std::size_t>(got);
            if (fd < 0 || done != original.size() || std::memcmp(buffer.data(), original.data(), done) != 0)
                ++wrong;
            if (fd >= 0)
                ::close(fd);
            ++rounds;
        }
        ::_exit(wrong == 0 ? 0 : 1);
    }
    ::close(stopPipe[0]);

    const engine::FileCompressor compressor;
    for (int round = 0; round < 100; ++round) {
        ASSERT_NO_THROW(compressor.compressFile(at("book.txt"))) << "round " << round;
        if (round == 0) {
            // The platform sees the records below the mount; other programs do not.
            platform::FileStat seen;
            ASSERT_EQ(platform::lstat(at("book.txt"), seen), 0);
            EXPECT_TRUE(seen.flags & platform::UF_COMPRESSED);
            EXPECT_TRUE(compressedBelow("book.txt"));
            EXPECT_EQ(::getxattr(at("book.txt").c_str(), "user.com.apple.decmpfs", nullptr, 0), -1);
            struct stat st {};
            ASSERT_EQ(::stat(at("book.txt").c_str(), &st), 0);
            EXPECT_EQ(st.st_size, static_cast<off_t>(original.size()));
        }
        ASSERT_NO_THROW(compressor.decompressFile(at("book.txt"))) << "round " << round;
    }
    ::close(stopPipe[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(reader, &status, 0), reader);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a read through the mount saw other bytes";
    EXPECT_FALSE(compressedBelow("book.txt"));
    EXPECT_EQ(kelvane::test::readRawFile(lower("book.txt")), original);

    // Mounted again at once: the new mount's socket answers (the old
    // daemon, still ending, must not take it away).
    unmount();
    mountFolder();
    ASSERT_NO_THROW(compressor.compressFile(at("book.txt")));
    EXPECT_TRUE(compressedBelow("book.txt"));
    EXPECT_EQ(readAll(at("book.txt")), original);
}

// A logger that keeps its file open through the mount: Kelvane leaves the
// file alone while it is open for writing, so no line is lost to a swap,
// and compresses it once the logger has closed it.
TEST_F(MountedFolderKelvaneTest, AFileALoggerHoldsOpenThroughTheMountIsInUseAndNoLineIsLost)
{
    Bytes expected = words(300000, 11);
    kelvane::test::writeRawFile(at("app.log"), expected);
    mountFolder();
    const engine::FileCompressor compressor;
    {
        platform::UniqueFd logger(::open(at("app.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        ASSERT_TRUE(logger) << std::strerror(errno);
        for (int line = 0; line < 3; ++line) {
            try {
                compressor.compressFile(at("app.log"));
                ADD_FAILURE() << "compressed while a logger held it open for writing";
            } catch (const engine::FileCompressionError& error) {
                EXPECT_EQ(error.description(),
                          engine::FileCompressionError(engine::FileCompressionError::fileInUse{at("app.log")}).description());
            }
            const std::string text = "line " + std::to_string(line) + "\n";
            ASSERT_EQ(::write(logger.get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
            expected.insert(expected.end(), text.begin(), text.end());
        }
    }
    EXPECT_FALSE(compressedBelow("app.log"));
    EXPECT_EQ(readAll(at("app.log")), expected);
    // The kernel tells the daemon of the close without waiting for it: the
    // file may still be open below for a moment.
    std::string failure;
    EXPECT_TRUE(waitFor([&] {
        try {
            compressor.compressFile(at("app.log"));
            return true;
        } catch (const engine::FileCompressionError& error) {
            failure = error.description();
            return error.kind() != engine::FileCompressionError::Kind::fileInUse;
        }
    })) << failure;
    EXPECT_TRUE(compressedBelow("app.log")) << failure;
    EXPECT_EQ(readAll(at("app.log")), expected);
}

TEST_F(MountedFolderKelvaneTest, WithoutTheSocketKelvaneRefusesAndTouchesNothing)
{
    const Bytes plain = words(200000, 8);
    const Bytes packed = words(200000, 9);
    kelvane::test::writeRawFile(at("plain.txt"), plain);
    kelvane::test::writeRawFile(at("packed.txt"), packed);
    engine::FileCompressor{}.compressFile(at("packed.txt"));
    platform::FileStat plainBefore, packedBefore;
    ASSERT_EQ(platform::lstat(at("plain.txt"), plainBefore), 0);
    ASSERT_EQ(platform::lstat(at("packed.txt"), packedBefore), 0);

    mountFolder();
    std::filesystem::remove(platform::kelvanefsSocketPath(folder()));

    for (const auto& [name, compress] : {std::pair{"plain.txt", true}, std::pair{"packed.txt", false}}) {
        try {
            if (compress)
                engine::FileCompressor{}.compressFile(at(name));
            else
                engine::FileCompressor{}.decompressFile(at(name));
            ADD_FAILURE() << name << " was worked on without the folder below the mount";
        } catch (const engine::FileCompressionError& error) {
            EXPECT_EQ(error.kind(), engine::FileCompressionError::Kind::ioError) << error.description();
            EXPECT_NE(error.description().find("kelvanefs mount at " + folder().string()), std::string::npos)
                << error.description();
        }
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(lower("")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"packed.txt", "plain.txt"})) << "no temporary file was made";
    platform::FileStat plainAfter, packedAfter;
    ASSERT_EQ(platform::lstat(lower("plain.txt"), plainAfter), 0);
    ASSERT_EQ(platform::lstat(lower("packed.txt"), packedAfter), 0);
    EXPECT_EQ(plainAfter.ino, plainBefore.ino);
    EXPECT_EQ(packedAfter.ino, packedBefore.ino);
    EXPECT_EQ(plainAfter.flags, plainBefore.flags);
    EXPECT_EQ(packedAfter.flags, packedBefore.flags);
    EXPECT_EQ(kelvane::test::readRawFile(lower("plain.txt")), plain);
    Bytes back;
    ASSERT_EQ(platform::readWholeFile(lower("packed.txt"), back), 0);
    EXPECT_EQ(back, packed);
}

TEST_F(MountedFolderKelvaneTest, TheSocketHandsTheFolderToItsOwnUserOnly)
{
    kelvane::test::writeRawFile(at("x.txt"), words(1000, 3));
    mountFolder();
    const Path socket = platform::kelvanefsSocketPath(folder());
    struct stat st {};
    ASSERT_EQ(::stat(socket.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // Our own user gets the folder below the mount.
    platform::UniqueFd below = platform::receiveFolderDescriptor(socket);
    ASSERT_TRUE(below) << std::strerror(errno);
    struct stat viaSocket {}, direct {};
    ASSERT_EQ(::fstatat(below.get(), "x.txt", &viaSocket, AT_SYMLINK_NOFOLLOW), 0);
    ASSERT_EQ(::fstatat(below_.get(), "x.txt", &direct, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_EQ(viaSocket.st_ino, direct.st_ino);
    EXPECT_EQ(viaSocket.st_dev, direct.st_dev);

    if (::geteuid() != 0)
        return;  // only root can play another user here
    // Another user who reaches the socket (the folder opened up for the
    // test) is answered with nothing.
    ASSERT_EQ(::chmod(socket.parent_path().parent_path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(socket.parent_path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(socket.c_str(), 0777), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        // Asks as a client that believes any server would, so that only
        // the server's own check stands in the way.
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socket.c_str(), socket.native().size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(4);
        const platform::UniqueFd folder = platform::receiveDescriptor(fd);
        ::_exit(!folder && errno == EPROTO ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit " << WEXITSTATUS(status);
}

TEST_F(MountedFolderKelvaneTest, TheHeadlessRunCompressesAMountedFolderThroughTheSocket)
{
    temp_.useAsHome();
    const Path support = temp_.path() / ".local/share/Kelvane";
    std::filesystem::create_directories(support);
    std::map<std::string, Bytes> files = {{"a.txt", words(40000, 1)}, {"deep/b.txt", words(300000, 2)}};
    for (const auto& [name, bytes] : files) {
        std::filesystem::create_directories(at(name).parent_path());
        kelvane::test::writeRawFile(at(name), bytes);
        // The run leaves alone what was saved in the last 30 minutes.
        std::filesystem::last_write_time(at(name), std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
    }
    mountFolder();
    {
        auto container = store::makeModelContainer(support / "store.sqlite");
        const auto decision = discovery::RegistrationCoordinator{}.registerItem(folder(), discovery::ItemKind::folder,
                                                                               true, container->mainContext());
        ASSERT_TRUE(decision.as<discovery::RegistrationDecision::willRegister>()) << decision.description();
    }

    std::string output;
    const Path kelvane = Path(KELVANE_BINARY_DIR) / "kelvane";
    ASSERT_EQ(runProgram({"env", "QT_QPA_PLATFORM=offscreen", kelvane.string(), "--auto-recompress"}, &output), 0)
        << output;
    for (const auto& [name, bytes] : files) {
        EXPECT_TRUE(compressedBelow(name)) << name << "\n" << output;
        EXPECT_EQ(readAll(at(name)), bytes) << name;
        Bytes back;
        ASSERT_EQ(platform::readWholeFile(lower(name), back), 0);
        EXPECT_EQ(back, bytes);
    }
}

// A program follows a log through the mount (tail -f: one descriptor, read
// on from where it stopped) while Kelvane compresses or decompresses the
// log through the socket, and the logger then appends through the mount:
// the follower must read the appended lines, and the mount must not cut
// the file's size back to where the follower's old inode ends.
TEST_F(MountedFolderKelvaneTest, AFollowerOpenDuringASwapReadsWhatIsWrittenAfterIt)
{
    const engine::FileCompressor compressor;
    for (const bool compressFirst : {true, false}) {
        const std::string name = compressFirst ? "compressed.log" : "decompressed.log";
        const Bytes original = words(300000, compressFirst ? 11 : 12);
        kelvane::test::writeRawFile(at(name), original);
        if (!compressFirst)
            compressor.compressFile(at(name));
        if (!mount())
            mountFolder();

        platform::UniqueFd follower(::open(at(name).c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(follower) << std::strerror(errno);
        Bytes seen(original.size() + 1);
        std::size_t done = 0;
        for (ssize_t got; (got = ::read(follower.get(), seen.data() + done, seen.size() - done)) > 0;)
            done += static_cast<std::size_t>(got);
        ASSERT_EQ(done, original.size()) << name;

        if (compressFirst)
            ASSERT_NO_THROW(compressor.compressFile(at(name))) << name;
        else
            ASSERT_NO_THROW(compressor.decompressFile(at(name))) << name;

        const std::string line = "appended after the swap\n";
        {
            platform::UniqueFd logger(::open(at(name).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
            ASSERT_TRUE(logger) << name << ": " << std::strerror(errno);
            for (int i = 0; i < 300; ++i)
                ASSERT_EQ(::write(logger.get(), line.data(), line.size()), static_cast<ssize_t>(line.size()));
        }
        Bytes expected = original;
        for (int i = 0; i < 300; ++i)
            expected.insert(expected.end(), line.begin(), line.end());

        // Read on from where the follower stopped, as tail -f does.
        Bytes more(expected.size());
        std::size_t tail = 0;
        for (ssize_t got; (got = ::read(follower.get(), more.data() + tail, more.size() - tail)) > 0;)
            tail += static_cast<std::size_t>(got);
        more.resize(tail);
        EXPECT_TRUE(more == Bytes(expected.begin() + static_cast<std::ptrdiff_t>(original.size()), expected.end()))
            << name << ": the follower read " << tail << " bytes after the old end, "
            << expected.size() - original.size() << " were appended";
        struct stat st {};
        ASSERT_EQ(::stat(at(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_size, static_cast<off_t>(expected.size())) << name;
        EXPECT_EQ(readAll(at(name)), expected) << name;
    }
}

// Path calls learn of mounts without asking the table each time: a mount
// that appears or goes must still be followed, also by a forked child, and
// the engine's check before it works on a file must see it at once.
TEST_F(MountedFolderKelvaneTest, PathCallsFollowMountsThatAppearAndGoAlsoInAForkedChild)
{
    kelvane::test::writeRawFile(at("a.txt"), words(5000, 4));
    const auto resolvedBelow = [&] {
        const auto path = platform::pathForCalls(at("a.txt"));
        return path && path->native().rfind("/proc/self/fd/", 0) == 0;
    };
    ASSERT_EQ(platform::pathForCalls(at("a.txt")), at("a.txt"));

    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(go[1]);
        char byte = 0;
        const bool told = ::read(go[0], &byte, 1) == 1;
        ::_exit(told && waitFor(resolvedBelow) ? 0 : 1);
    }
    ::close(go[0]);

    mountFolder();
    ASSERT_EQ(::write(go[1], "m", 1), 1);
    ::close(go[1]);
    EXPECT_TRUE(waitFor(resolvedBelow)) << "the new mount was never followed";
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the forked child never followed the mount";

    unmount();
    EXPECT_TRUE(waitFor([&] { return platform::pathForCalls(at("a.txt")) == at("a.txt"); }))
        << "calls still went below a mount that is gone";

    mountFolder();
    EXPECT_EQ(platform::unreachableMountReason(at("a.txt")), std::nullopt);
    EXPECT_TRUE(resolvedBelow()) << "right after the engine's check";
    platform::FileStat st;
    ASSERT_EQ(platform::lstat(at("a.txt"), st), 0);
    EXPECT_EQ(st.size, 5000);
}

}  // namespace
}  // namespace kelvane::fs::test
