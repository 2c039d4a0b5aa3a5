// SPDX-License-Identifier: MIT
// A change through the mount undoes compression first, with the engine's
// decompression road; the stand-in's records stay out of reach.

#include "fs/MountFixture.h"

#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"

#include <algorithm>
#include <dirent.h>
#include <atomic>
#include <map>
#include <random>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/xattr.h>

namespace kelvane::fs::test {
namespace {

Bytes patterned(std::size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::uint8_t>("abcdefgh\n"[(i / 7 + rng() % 2) % 9]);
    return out;
}

bool compressedBelow(const Path& lower)
{
    platform::FileStat st;
    return platform::lstat(lower, st) == 0 && (st.flags & platform::UF_COMPRESSED);
}

// The bytes the platform reads from the file below the mount.
Bytes platformBytes(const Path& lower)
{
    Bytes out;
    EXPECT_EQ(platform::readWholeFile(lower, out), 0) << lower;
    return out;
}

std::vector<std::string> attributeNames(const Path& path)
{
    const ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
    std::vector<char> list(static_cast<std::size_t>(std::max<ssize_t>(size, 0)));
    const ssize_t got = ::llistxattr(path.c_str(), list.data(), list.size());
    EXPECT_EQ(got, size) << "the size query must be the length of the list as shown";
    std::vector<std::string> names;
    for (ssize_t start = 0; start < got;) {
        names.emplace_back(list.data() + start);
        start += static_cast<ssize_t>(names.back().size()) + 1;
    }
    return names;
}

class WriteThroughMountTest : public MountTest {
protected:
    // Files compressed below the mount, then the mount; `below_` reaches
    // them under it.
    void SetUpFiles(const std::vector<std::pair<std::string, std::size_t>>& files)
    {
        for (const auto& [name, size] : files) {
            originals_[name] = patterned(size, static_cast<unsigned>(size));
            kelvane::test::writeRawFile(at(name), originals_[name]);
            engine::FileCompressor{}.compressFile(at(name));
            ASSERT_TRUE(compressedBelow(at(name))) << name;
        }
        mountFolder();
    }

    std::map<std::string, Bytes> originals_;
};

TEST_F(WriteThroughMountTest, WriteOpenAppendTruncateAndAllocateLeaveExactPlainFiles)
{
    SetUpFiles({{"patch.txt", 200000}, {"append.txt", 150000}, {"truncate.txt", 300000}, {"otrunc.txt", 100000},
                {"small.txt", 5000}, {"allocate.txt", 140000}, {"create.txt", 120000}});

    {  // the first call on the name is an open with O_CREAT: the kernel creates by name
        platform::UniqueFd fd(::open(at("create.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd) << std::strerror(errno);
        ASSERT_EQ(::write(fd.get(), "end", 3), 3);
    }
    Bytes created = originals_["create.txt"];
    created.insert(created.end(), {'e', 'n', 'd'});
    EXPECT_EQ(readAll(at("create.txt")), created);
    EXPECT_EQ(kelvane::test::readRawFile(lower("create.txt")), created);

    {  // write in the middle
        platform::UniqueFd fd(::open(at("patch.txt").c_str(), O_RDWR | O_CLOEXEC));
        ASSERT_TRUE(fd) << std::strerror(errno);
        ASSERT_EQ(::pwrite(fd.get(), "PATCH", 5, 70000), 5);
    }
    Bytes expected = originals_["patch.txt"];
    std::memcpy(expected.data() + 70000, "PATCH", 5);
    EXPECT_EQ(readAll(at("patch.txt")), expected);
    EXPECT_FALSE(compressedBelow(lower("patch.txt")));
    EXPECT_EQ(kelvane::test::readRawFile(lower("patch.txt")), expected) << "the file below is plain now";

    {  // append
        platform::UniqueFd fd(::open(at("append.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::write(fd.get(), "tail\n", 5), 5);
    }
    expected = originals_["append.txt"];
    expected.insert(expected.end(), {'t', 'a', 'i', 'l', '\n'});
    EXPECT_EQ(readAll(at("append.txt")), expected);
    EXPECT_EQ(kelvane::test::readRawFile(lower("append.txt")), expected);

    // truncate(2) by path, to a length inside the second block
    ASSERT_EQ(::truncate(at("truncate.txt").c_str(), 70001), 0) << std::strerror(errno);
    expected.assign(originals_["truncate.txt"].begin(), originals_["truncate.txt"].begin() + 70001);
    EXPECT_EQ(readAll(at("truncate.txt")), expected);
    EXPECT_EQ(kelvane::test::readRawFile(lower("truncate.txt")), expected);

    {  // O_TRUNC, then new bytes
        platform::UniqueFd fd(::open(at("otrunc.txt").c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::write(fd.get(), "new", 3), 3);
    }
    EXPECT_EQ(readAll(at("otrunc.txt")), (Bytes{'n', 'e', 'w'}));
    EXPECT_FALSE(compressedBelow(lower("otrunc.txt")));

    {  // an inline record, opened read-write and only read: no change
        platform::UniqueFd fd(::open(at("small.txt").c_str(), O_RDWR | O_CLOEXEC));
        ASSERT_TRUE(fd);
    }
    EXPECT_EQ(readAll(at("small.txt")), originals_["small.txt"]);
    EXPECT_TRUE(compressedBelow(lower("small.txt")));
    EXPECT_EQ(platformBytes(lower("small.txt")), originals_["small.txt"]);

    {  // fallocate past the end keeps the bytes and grows the file with zeros
        platform::UniqueFd fd(::open(at("allocate.txt").c_str(), O_RDWR | O_CLOEXEC));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::fallocate(fd.get(), 0, 0, 200000), 0) << std::strerror(errno);
    }
    expected = originals_["allocate.txt"];
    expected.resize(200000, 0);
    EXPECT_EQ(readAll(at("allocate.txt")), expected);
}

TEST_F(WriteThroughMountTest, WriteOpensOfOneCompressedFileAtOnceAllSucceedAndEveryLineLands)
{
    // Two programs appending to one compressed log at the same moment: the
    // second open must wait for the first one's decompression, not fail.
    constexpr int kWriters = 8;
    for (int round = 0; round < 4; ++round) {
        const std::string name = "log" + std::to_string(round) + ".txt";
        SetUpFiles({{name, 180000 + static_cast<std::size_t>(round)}});
        std::vector<int> errors(kWriters, 0);
        std::vector<std::thread> writers;
        std::atomic<int> ready{0};
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([&, w] {
                ++ready;
                while (ready.load() < kWriters) {
                }
                platform::UniqueFd fd(::open(at(name).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
                if (!fd) {
                    errors[static_cast<std::size_t>(w)] = errno;
                    return;
                }
                const std::string line = "writer " + std::to_string(w) + "\n";
                if (::write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                    errors[static_cast<std::size_t>(w)] = errno;
            });
        }
        for (auto& thread : writers)
            thread.join();
        for (int w = 0; w < kWriters; ++w)
            EXPECT_EQ(errors[static_cast<std::size_t>(w)], 0)
                << name << ", writer " << w << ": " << std::strerror(errors[static_cast<std::size_t>(w)]);

        const Bytes& original = originals_[name];
        const Bytes now = readAll(at(name));
        ASSERT_GE(now.size(), original.size()) << name;
        EXPECT_TRUE(std::equal(original.begin(), original.end(), now.begin())) << name << ": the original comes first";
        std::vector<std::string> lines;
        std::string tail(now.begin() + static_cast<std::ptrdiff_t>(original.size()), now.end());
        for (std::size_t start = 0, end; (end = tail.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(tail.substr(start, end - start));
        std::sort(lines.begin(), lines.end());
        std::vector<std::string> expected;
        for (int w = 0; w < kWriters; ++w)
            expected.push_back("writer " + std::to_string(w));
        EXPECT_EQ(lines, expected) << name;
        EXPECT_EQ(kelvane::test::readRawFile(lower(name)), now) << name << ": the file below is plain";
        unmount();
    }
}

// A program that has a compressed file open for reading (tail -f on a log,
// a pager) while another program writes to it through the mount: the reader
// must see what was written, as it would if the file had never been
// compressed, not the bytes from before the write.
TEST_F(WriteThroughMountTest, AReaderOpenDuringAWriteSeesTheWrittenBytes)
{
    SetUpFiles({{"log.txt", 3 << 20}});
    const Bytes& original = originals_["log.txt"];
    platform::UniqueFd reader(::open(at("log.txt").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(reader) << std::strerror(errno);
    char head[100];
    ASSERT_EQ(::read(reader.get(), head, sizeof head), static_cast<ssize_t>(sizeof head));

    {  // an appending logger and a patch far from what the reader has read
        platform::UniqueFd writer(::open(at("log.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        ASSERT_TRUE(writer) << std::strerror(errno);
        ASSERT_EQ(::write(writer.get(), "new line\n", 9), 9);
        platform::UniqueFd patcher(::open(at("log.txt").c_str(), O_RDWR | O_CLOEXEC));
        ASSERT_TRUE(patcher) << std::strerror(errno);
        ASSERT_EQ(::pwrite(patcher.get(), "PATCH", 5, 2900000), 5);
    }
    Bytes expected = original;
    expected.insert(expected.end(), {'n', 'e', 'w', ' ', 'l', 'i', 'n', 'e', '\n'});
    std::memcpy(expected.data() + 2900000, "PATCH", 5);

    struct stat st {};
    ASSERT_EQ(::fstat(reader.get(), &st), 0);
    EXPECT_EQ(st.st_size, static_cast<off_t>(expected.size()));
    char tail[9] = {};
    EXPECT_EQ(::pread(reader.get(), tail, sizeof tail, static_cast<off_t>(original.size())), 9) << std::strerror(errno);
    EXPECT_EQ(std::string(tail, sizeof tail), "new line\n");
    char patch[5] = {};
    EXPECT_EQ(::pread(reader.get(), patch, sizeof patch, 2900000), 5);
    EXPECT_EQ(std::string(patch, sizeof patch), "PATCH");
    // The whole file through the descriptor opened before the writes.
    Bytes now;
    std::vector<std::uint8_t> chunk(1 << 16);
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(reader.get(), chunk.data(), chunk.size(), offset);
        ASSERT_GE(got, 0) << std::strerror(errno);
        if (got == 0)
            break;
        now.insert(now.end(), chunk.begin(), chunk.begin() + got);
        offset += got;
    }
    EXPECT_EQ(now.size(), expected.size());
    EXPECT_TRUE(now == expected) << "the reader must see the bytes as written";
    EXPECT_EQ(readAll(at("log.txt")), expected);
}

// Readers opening a compressed file again and again while a writer's open
// decompresses it: every descriptor they got, before, during or after the
// swap, sees the line appended after it.
TEST_F(WriteThroughMountTest, ReadersOpenedWhileAWriteDecompressesTheFileSeeTheWrittenBytes)
{
    constexpr int kReaders = 4;
    // The descriptors kept stay within this process's limit (1,024 by
    // default on many desktops), whenever the writer's open comes.
    rlimit files{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
    const std::size_t perReader = std::min<std::size_t>(5000, (files.rlim_cur - 128) / kReaders);
    for (int round = 0; round < 4; ++round) {
        const std::string name = "open" + std::to_string(round) + ".txt";
        SetUpFiles({{name, 400000 + static_cast<std::size_t>(round)}});
        const Bytes& original = originals_[name];
        std::vector<std::vector<platform::UniqueFd>> opened(kReaders);
        std::vector<int> errors(kReaders, 0);
        std::atomic<bool> writerOpen{false};
        std::vector<std::thread> threads;
        for (int r = 0; r < kReaders; ++r) {
            threads.emplace_back([&, r] {
                auto& mine = opened[static_cast<std::size_t>(r)];
                while (!writerOpen.load() && mine.size() < perReader) {
                    mine.emplace_back(::open(at(name).c_str(), O_RDONLY | O_CLOEXEC));
                    if (!mine.back()) {
                        errors[static_cast<std::size_t>(r)] = errno;
                        return;
                    }
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        {
            platform::UniqueFd writer(::open(at(name).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
            writerOpen = true;
            for (auto& thread : threads)
                thread.join();
            ASSERT_TRUE(writer) << std::strerror(errno);
            ASSERT_EQ(::write(writer.get(), "last\n", 5), 5);
        }
        int stale = 0;
        std::size_t count = 0;
        for (int r = 0; r < kReaders; ++r) {
            EXPECT_EQ(errors[static_cast<std::size_t>(r)], 0) << name << ", reader " << r << ": "
                                                             << std::strerror(errors[static_cast<std::size_t>(r)]);
            for (const platform::UniqueFd& fd : opened[static_cast<std::size_t>(r)]) {
                char tail[5] = {};
                if (::pread(fd.get(), tail, sizeof tail, static_cast<off_t>(original.size())) != 5 ||
                    std::string(tail, sizeof tail) != "last\n")
                    ++stale;
                ++count;
            }
        }
        EXPECT_GT(count, 0u) << name;
        EXPECT_EQ(stale, 0) << name << ": descriptors of " << count << " that miss the appended line";
        opened.clear();
        unmount();
    }
}

TEST_F(WriteThroughMountTest, AFailedDecompressionFailsTheChangeWithItsCauseAndKeepsTheFileCompressed)
{
    SetUpFiles({{"busy.txt", 250000}});
    // Kelvane's own lock on the file below: the decompression cannot run.
    platform::UniqueFd holder(::open(lower("busy.txt").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);

    platform::UniqueFd fd(::open(at("busy.txt").c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(fd) << "opening changes nothing yet";
    errno = 0;
    EXPECT_EQ(::pwrite(fd.get(), "x", 1, 10), -1);
    EXPECT_EQ(errno, EBUSY);
    fd.reset();
    EXPECT_EQ(::truncate(at("busy.txt").c_str(), 10), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_TRUE(compressedBelow(lower("busy.txt")));
    EXPECT_EQ(platformBytes(lower("busy.txt")), originals_["busy.txt"]);
    EXPECT_EQ(readAll(at("busy.txt")), originals_["busy.txt"]);
    holder.reset();

    // A caller without write permission is refused before anything changes.
    ASSERT_EQ(::chmod(at("busy.txt").c_str(), 0444), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(platform::UniqueFd(::open(at("busy.txt").c_str(), O_RDWR | O_CLOEXEC)));
        EXPECT_EQ(errno, EACCES);
        EXPECT_TRUE(compressedBelow(lower("busy.txt")));
    }
}

TEST_F(WriteThroughMountTest, TheStandInsRecordsAreNeitherListedNorReadableNorSettable)
{
    SetUpFiles({{"fork.txt", 200000}, {"inline.txt", 4000}});
    kelvane::test::writeRawFile(at("plain.txt"), patterned(100, 9));
    ASSERT_EQ(::setxattr(at("fork.txt").c_str(), "user.note", "kept", 4, 0), 0) << std::strerror(errno);
    EXPECT_EQ(::getxattr(lower("fork.txt").c_str(), "user.note", nullptr, 0), 4) << "passed through below";

    for (const std::string name : {"fork.txt", "inline.txt", "plain.txt"}) {
        SCOPED_TRACE(name);
        for (const std::string& attribute : attributeNames(at(name))) {
            EXPECT_NE(attribute.rfind("user.darwin.", 0), 0u) << attribute;
            EXPECT_NE(attribute, "user.com.apple.decmpfs");
            EXPECT_NE(attribute, "user.com.apple.ResourceFork");
        }
        for (const char* record : {"user.com.apple.decmpfs", "user.com.apple.ResourceFork", "user.darwin.flags",
                                   "user.darwin.rsrc"}) {
            char value[64];
            EXPECT_EQ(::getxattr(at(name).c_str(), record, value, sizeof value), -1) << record;
            EXPECT_EQ(errno, ENODATA) << record;
            EXPECT_EQ(::setxattr(at(name).c_str(), record, "x", 1, 0), -1) << record;
            EXPECT_EQ(errno, EPERM) << record;
            EXPECT_EQ(::removexattr(at(name).c_str(), record), -1) << record;
            EXPECT_EQ(errno, EPERM) << record;
        }
    }
    const auto names = attributeNames(at("fork.txt"));
    EXPECT_NE(std::find(names.begin(), names.end(), "user.note"), names.end());
    char value[8] = {};
    EXPECT_EQ(::getxattr(at("fork.txt").c_str(), "user.note", value, sizeof value), 4);
    EXPECT_EQ(std::string(value, 4), "kept");
    EXPECT_EQ(::removexattr(at("fork.txt").c_str(), "user.note"), 0);
    // Nothing was forged or broken below.
    EXPECT_TRUE(compressedBelow(lower("fork.txt")));
    EXPECT_TRUE(compressedBelow(lower("inline.txt")));
    EXPECT_EQ(readAll(at("fork.txt")), originals_["fork.txt"]);
    EXPECT_EQ(readAll(at("inline.txt")), originals_["inline.txt"]);
}

// The mount keeps each file's list of names while its inode and change time
// stay: names set, removed, compressed or decompressed below it must show.
TEST_F(WriteThroughMountTest, AttributeListsFollowChangesMadeBelowTheMount)
{
    SetUpFiles({{"fork.txt", 200000}});
    kelvane::test::writeRawFile(lower("plain.txt"), patterned(150000, 4));
    ASSERT_EQ(::setxattr(lower("plain.txt").c_str(), "user.a", "1", 1, 0), 0) << std::strerror(errno);
    const auto sorted = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto hasRecords = [](const std::vector<std::string>& names) {
        return std::any_of(names.begin(), names.end(), [](const std::string& name) {
            return name.rfind("user.darwin.", 0) == 0 || name == "user.com.apple.decmpfs" ||
                   name == "user.com.apple.ResourceFork";
        });
    };
    EXPECT_EQ(attributeNames(at("plain.txt")), std::vector<std::string>{"user.a"});

    ASSERT_EQ(::setxattr(lower("plain.txt").c_str(), "user.b", "2", 1, 0), 0);
    EXPECT_EQ(sorted(attributeNames(at("plain.txt"))), (std::vector<std::string>{"user.a", "user.b"}));
    ASSERT_EQ(::removexattr(lower("plain.txt").c_str(), "user.a"), 0);
    EXPECT_EQ(attributeNames(at("plain.txt")), std::vector<std::string>{"user.b"});

    // Compressed below while its list is kept: the records stay out of sight, the user's name stays.
    engine::FileCompressor{}.compressFile(lower("plain.txt"));
    ASSERT_TRUE(compressedBelow(lower("plain.txt")));
    auto names = attributeNames(at("plain.txt"));
    EXPECT_FALSE(hasRecords(names));
    EXPECT_EQ(names, std::vector<std::string>{"user.b"});
    EXPECT_EQ(readAll(at("plain.txt")), patterned(150000, 4));

    // A compressed file listed, then decompressed and given a name below.
    EXPECT_TRUE(attributeNames(at("fork.txt")).empty());
    engine::FileCompressor{}.decompressFile(lower("fork.txt"));
    ASSERT_FALSE(compressedBelow(lower("fork.txt")));
    ASSERT_EQ(::setxattr(lower("fork.txt").c_str(), "user.c", "3", 1, 0), 0);
    names = attributeNames(at("fork.txt"));
    EXPECT_FALSE(hasRecords(names));
    EXPECT_EQ(names, std::vector<std::string>{"user.c"});
    EXPECT_EQ(readAll(at("fork.txt")), originals_["fork.txt"]);

    // Set and removed through the mount right after a listing.
    ASSERT_EQ(::setxattr(at("fork.txt").c_str(), "user.d", "4", 1, 0), 0);
    EXPECT_EQ(sorted(attributeNames(at("fork.txt"))), (std::vector<std::string>{"user.c", "user.d"}));
    ASSERT_EQ(::removexattr(at("fork.txt").c_str(), "user.c"), 0);
    EXPECT_EQ(attributeNames(at("fork.txt")), std::vector<std::string>{"user.d"});
}

TEST_F(WriteThroughMountTest, KelvanesMarkedTemporaryFilesAreNotListed)
{
    SetUpFiles({{"data.txt", 100000}});
    const std::string marker = "user." + std::string(engine::TemporaryFile::markerName);
    kelvane::test::writeRawFile(lower("data.txt.kvtmp"), {1, 2, 3});
    ASSERT_EQ(::setxattr(lower("data.txt.kvtmp").c_str(), marker.c_str(), "\x01", 1, 0), 0);
    kelvane::test::writeRawFile(lower("mine.kvtmp"), {4});  // a user's file of that name, unmarked

    std::vector<std::string> listed;
    for (const auto& entry : std::filesystem::directory_iterator(folder()))
        listed.push_back(entry.path().filename().string());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"data.txt", "mine.kvtmp"}));
}

// A listing that goes on while Kelvane renames its temporary files over the
// originals (ls during a run): the names read before the swaps must not
// bring back a temporary file's name once it is gone and unmarked.
TEST_F(WriteThroughMountTest, ATemporaryFileSwappedInDuringAListingIsNotListedByItsOldName)
{
    const std::string marker = "user." + std::string(engine::TemporaryFile::markerName);
    std::vector<std::string> swapped;
    for (int i = 0; i < 300; ++i)
        kelvane::test::writeRawFile(at("entry-" + std::to_string(i) + ".txt"), {static_cast<std::uint8_t>(i)});
    for (int i = 0; i < 20; ++i) {
        const std::string name = "swapped-" + std::to_string(i) + ".txt";
        kelvane::test::writeRawFile(at(name), {1});
        kelvane::test::writeRawFile(at(name + ".kvtmp"), {2});
        ASSERT_EQ(::setxattr(at(name + ".kvtmp").c_str(), marker.c_str(), "\x01", 1, 0), 0);
        swapped.push_back(name);
    }
    // Held as Kelvane's run holds the files it works on: the mount leaves
    // their temporary files alone.
    std::vector<platform::UniqueFd> locks;
    for (const std::string& name : swapped) {
        locks.emplace_back(::open(at(name).c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_EQ(::flock(locks.back().get(), LOCK_EX | LOCK_NB), 0);
    }
    SetUpFiles({});

    platform::UniqueFd folderFd(::open(folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folderFd) << std::strerror(errno);
    std::vector<std::string> names;
    alignas(8) char buffer[4096];
    for (bool first = true;; first = false) {
        const long got = ::syscall(SYS_getdents64, folderFd.get(), buffer, sizeof buffer);
        ASSERT_GE(got, 0) << std::strerror(errno);
        if (got == 0)
            break;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            names.emplace_back(entry->d_name);
            at += entry->d_reclen;
        }
        if (first) {
            // The swaps after the listing began: the temporary file takes
            // the original's name and then loses its mark, as Kelvane does.
            for (const std::string& name : swapped) {
                ASSERT_EQ(::renameat(below_.get(), (name + ".kvtmp").c_str(), below_.get(), name.c_str()), 0);
                ASSERT_EQ(::removexattr(lower(name).c_str(), marker.c_str()), 0);
            }
        }
    }
    for (const std::string& name : names)
        EXPECT_EQ(name.find(".kvtmp"), std::string::npos) << name << " is listed, but is gone";
    EXPECT_EQ(names.size(), 2u + 300u + swapped.size());
}

}  // namespace
}  // namespace kelvane::fs::test
