// SPDX-License-Identifier: MIT
// What everyday programs do to compressed files through the mount: only a
// change undoes a compression, a truncation needs no room for the old bytes,
// direct reads work, and a daemon killed mid-way leaves nothing behind.

#include "fs/MountFixture.h"
#include "fs/TextLines.h"

#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "support/SmallFileSystem.h"

#include <sqlite3.h>

#include <cstdlib>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/xattr.h>
#include <thread>

namespace kelvane::fs::test {
namespace {

bool compressedBelow(const Path& lower)
{
    platform::FileStat st;
    return platform::lstat(lower, st) == 0 && (st.flags & platform::UF_COMPRESSED);
}

class EverydayWritesTest : public MountTest {
protected:
    void compressedFile(const std::string& name, const Bytes& bytes)
    {
        originals_[name] = bytes;
        kelvane::test::writeRawFile(at(name), bytes);
        engine::FileCompressor{}.compressFile(at(name));
        ASSERT_TRUE(compressedBelow(at(name))) << name;
    }
    void mountOver()
    {
        mountFolder();
    }

    std::map<std::string, Bytes> originals_;
};

// The rows of a table, through the mount, as SQLite reads them (it opens
// the database for reading and writing).
long long countRows(const Path& database, const char* table)
{
    sqlite3* db = nullptr;
    long long rows = -1;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        const std::string sql = std::string("SELECT count(*) FROM ") + table;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            rows = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

TEST_F(EverydayWritesTest, ProgramsThatOpenForWritingAndOnlyReadLeaveFilesCompressed)
{
    const Path corpusDatabase = kelvane::test::corpusDir() / "sqlite-db.bin";
    if (!std::filesystem::exists(corpusDatabase))
        GTEST_SKIP() << "the corpus database is missing: " << corpusDatabase;
    compressedFile("shop.sqlite", kelvane::test::readRawFile(corpusDatabase));
    compressedFile("notes.txt", randomRecords(300000, 1));
    compressedFile("rw.txt", randomRecords(200000, 2));
    mountOver();

    EXPECT_EQ(countRows(at("shop.sqlite"), "customers"), 20000);
    EXPECT_EQ(runProgram({"touch", at("notes.txt").string()}), 0);
    {
        platform::UniqueFd fd(::open(at("rw.txt").c_str(), O_RDWR | O_CLOEXEC));
        ASSERT_TRUE(fd) << std::strerror(errno);
        std::vector<std::uint8_t> head(4096);
        EXPECT_EQ(::read(fd.get(), head.data(), head.size()), 4096);
    }
    for (const auto& [name, bytes] : originals_) {
        EXPECT_TRUE(compressedBelow(lower(name))) << name;
        EXPECT_EQ(readAll(at(name)), bytes) << name;
    }
    struct stat st {};
    ASSERT_EQ(::stat(at("notes.txt").c_str(), &st), 0);
    EXPECT_GT(st.st_mtim.tv_sec, 0);

    // A write does undo it, and every byte lands.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(at("shop.sqlite").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DELETE FROM orders WHERE rowid % 2 = 0", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_FALSE(compressedBelow(lower("shop.sqlite")));
    EXPECT_EQ(countRows(at("shop.sqlite"), "orders"), 15000);
}

TEST_F(EverydayWritesTest, DirectReadsOfACompressedFileReturnItsBytes)
{
    compressedFile("direct.bin", randomRecords(1u << 20, 3));
    mountOver();
    platform::UniqueFd fd(::open(at("direct.bin").c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
    ASSERT_TRUE(fd) << std::strerror(errno);
    constexpr std::size_t kChunk = 64 << 10;
    void* aligned = nullptr;
    ASSERT_EQ(::posix_memalign(&aligned, 4096, kChunk), 0);
    std::unique_ptr<void, decltype(&std::free)> buffer(aligned, &std::free);
    Bytes read;
    for (ssize_t got; (got = ::read(fd.get(), buffer.get(), kChunk)) > 0;)
        read.insert(read.end(), static_cast<std::uint8_t*>(buffer.get()), static_cast<std::uint8_t*>(buffer.get()) + got);
    EXPECT_TRUE(read == originals_["direct.bin"]) << read.size() << " bytes read";
}

TEST_F(EverydayWritesTest, ANearlyFullFileSystemStillEmptiesAndReplacesFilesAndAWriteSaysEnospc)
{
    // Compressed where there is room, then copied with their records to a
    // file system with room for them and little more.
    const Bytes big = randomRecords(50u << 20, 4);
    std::uint64_t stored = 0;
    for (const std::string name : {"big.log", "copied.log", "kept.log"}) {
        compressedFile(name, big);
        stored += std::filesystem::file_size(at(name));
    }
    kelvane::test::SmallFileSystem small(stored + (8u << 20));
    if (!small.mounted())
        GTEST_SKIP() << small.reason();
    const Path served = small.path() / "served";
    ASSERT_EQ(runProgram({"cp", "-a", folder().string(), served.string()}), 0);
    for (const std::string name : {"big.log", "copied.log", "kept.log"})
        ASSERT_TRUE(compressedBelow(served / name)) << name;
    kelvane::test::writeRawFile(small.path() / "new.log", randomRecords(1000, 5));
    EXPECT_LT(small.fill(2u << 20), big.size() / 4) << "no room for the decoded bytes";
    Mount mount(served);
    ASSERT_TRUE(mount.start());

    EXPECT_EQ(runProgram({"sh", "-c", ": > '" + (served / "big.log").string() + "'"}), 0);
    EXPECT_EQ(runProgram({"cp", (small.path() / "new.log").string(), (served / "copied.log").string()}), 0);
    EXPECT_EQ(readAll(served / "big.log"), Bytes{});
    EXPECT_EQ(readAll(served / "copied.log"), randomRecords(1000, 5));

    platform::UniqueFd fd(::open((served / "kept.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    ASSERT_TRUE(fd) << std::strerror(errno);
    errno = 0;
    EXPECT_EQ(::write(fd.get(), "more\n", 5), -1);
    EXPECT_EQ(errno, ENOSPC);
    fd.reset();
    EXPECT_TRUE(readAll(served / "kept.log") == big);
    mount.stop();
    EXPECT_TRUE(compressedBelow(served / "kept.log"));
}

TEST_F(EverydayWritesTest, ADaemonKilledDuringAWriteLeavesNoTemporaryFileOnceMountedAgain)
{
    compressedFile("big.log", randomRecords(96u << 20, 6));
    const Path temporary = engine::TemporaryFile::pathFor(lower("big.log"));
    Mount& first = mountFolder();
    std::thread writer([&] {
        platform::UniqueFd fd(::open(at("big.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        if (fd)
            (void)!::write(fd.get(), "line\n", 5);  // fails once the daemon is gone
    });
    const bool started = waitFor([&] { return std::filesystem::exists(temporary); });
    first.kill();
    writer.join();
    ASSERT_TRUE(started) << "the decompression before the write never began";
    unmount();
    ASSERT_TRUE(std::filesystem::exists(temporary)) << "the kill came too late to leave one";

    mountFolder();
    EXPECT_TRUE(waitFor([&] { return !std::filesystem::exists(temporary); })) << "left below: " << temporary;
    EXPECT_EQ(readAll(at("big.log")), originals_["big.log"]);
}

TEST_F(EverydayWritesTest, AWriteThroughOneNameOfAHardLinkedFileShowsThroughEveryName)
{
    compressedFile("a.log", randomRecords(300000, 7));
    mountOver();
    struct stat before {};
    ASSERT_EQ(::stat(at("a.log").c_str(), &before), 0);  // the kernel now keeps its attributes
    ASSERT_EQ(::link(at("a.log").c_str(), at("b.log").c_str()), 0) << std::strerror(errno);
    struct stat st {};
    ASSERT_EQ(::stat(at("a.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u) << "the link count shows at once";
    EXPECT_TRUE(compressedBelow(lower("a.log"))) << "a link changes no contents";

    {  // a snapshot made with cp -al, then the log goes on
        platform::UniqueFd fd(::open(at("a.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        ASSERT_TRUE(fd) << std::strerror(errno);
        ASSERT_EQ(::write(fd.get(), "x\n", 2), 2) << std::strerror(errno);
    }
    Bytes expected = originals_["a.log"];
    expected.insert(expected.end(), {'x', '\n'});
    EXPECT_EQ(readAll(at("a.log")), expected);
    EXPECT_EQ(readAll(at("b.log")), expected);
    struct stat a {}, b {};
    ASSERT_EQ(::lstat(lower("a.log").c_str(), &a), 0);
    ASSERT_EQ(::lstat(lower("b.log").c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << "still one file with two names";
    EXPECT_FALSE(compressedBelow(lower("b.log")));
    EXPECT_FALSE(std::filesystem::exists(lower("a.log.kvtmp")));
}

TEST_F(EverydayWritesTest, TheFirstDirtyPageOfASharedMappingUndoesTheCompression)
{
    compressedFile("mapped.bin", randomRecords(200000, 8));
    mountOver();
    platform::UniqueFd fd(::open(at("mapped.bin").c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(fd) << std::strerror(errno);
    void* map = ::mmap(nullptr, 200000, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    ASSERT_NE(map, MAP_FAILED) << std::strerror(errno);
    auto* bytes = static_cast<std::uint8_t*>(map);
    EXPECT_TRUE(std::equal(bytes, bytes + 200000, originals_["mapped.bin"].begin()));
    EXPECT_TRUE(compressedBelow(lower("mapped.bin"))) << "mapping and reading change nothing";
    std::memcpy(bytes + 70000, "MAPPED", 6);
    ASSERT_EQ(::msync(map, 200000, MS_SYNC), 0) << std::strerror(errno);
    ASSERT_EQ(::munmap(map, 200000), 0);
    fd.reset();
    Bytes expected = originals_["mapped.bin"];
    std::memcpy(expected.data() + 70000, "MAPPED", 6);
    EXPECT_FALSE(compressedBelow(lower("mapped.bin")));
    EXPECT_EQ(kelvane::test::readRawFile(lower("mapped.bin")), expected);
    EXPECT_EQ(readAll(at("mapped.bin")), expected);
}

TEST_F(EverydayWritesTest, AFileWrittenOverWhileUnmountedReadsAsWrittenAndTakesEveryChange)
{
    for (const std::string name : {"over.txt", "replaced.txt", "emptied.txt"}) {
        compressedFile(name, randomRecords(300000, 9));
        ASSERT_EQ(runProgram({"sh", "-c", "printf XXXX | dd of='" + at(name).string() + "' bs=1 seek=100 conv=notrunc"}),
                  0);
    }
    const Bytes held = kelvane::test::readRawFile(at("over.txt"));
    kelvane::test::writeRawFile(temp_.path() / "good.txt", randomRecords(1000, 10));
    mountOver();

    EXPECT_EQ(readAll(at("over.txt")), held);
    struct stat st {};
    ASSERT_EQ(::stat(at("over.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, static_cast<off_t>(held.size()));
    EXPECT_EQ(runProgram({"cp", (temp_.path() / "good.txt").string(), at("replaced.txt").string()}), 0);
    EXPECT_EQ(readAll(at("replaced.txt")), randomRecords(1000, 10));
    EXPECT_EQ(runProgram({"sh", "-c", ": > '" + at("emptied.txt").string() + "'"}), 0);
    EXPECT_EQ(readAll(at("emptied.txt")), Bytes{});
    {
        platform::UniqueFd fd(::open(at("over.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        ASSERT_TRUE(fd) << std::strerror(errno);
        ASSERT_EQ(::write(fd.get(), "x", 1), 1) << std::strerror(errno);
    }
    Bytes expected = held;
    expected.push_back('x');
    EXPECT_EQ(readAll(at("over.txt")), expected);
    EXPECT_FALSE(compressedBelow(lower("over.txt")));
    EXPECT_EQ(kelvane::test::readRawFile(lower("over.txt")), expected);
}

}  // namespace
}  // namespace kelvane::fs::test
