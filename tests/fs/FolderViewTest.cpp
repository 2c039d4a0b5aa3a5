// SPDX-License-Identifier: MIT
// The mount's rules without a mount: what the view of a folder shows, reads
// and changes, driven the way the kernel's requests drive it.

#include "fs/FolderView.h"

#include "fs/LeftoverSweep.h"
#include "fs/MountFixture.h"
#include "fs/TextLines.h"

#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "support/SmallFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kelvane::fs::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Id = FolderView::Id;

class FolderViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ServeOptions options;
        options.listingHelpers = 2;
        view_ = std::make_unique<FolderView>(
            platform::UniqueFd(::open(dir_.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)), options);
        ASSERT_GE(view_->folderFd(), 0);
    }

    // Kelvane's temporary file for `original`, marked as its own.
    void markedTemporary(const std::string& original, const Bytes& contents)
    {
        const std::filesystem::path temporary = dir_ / (original + ".kvtmp");
        kelvane::test::writeRawFile(temporary, contents);
        const auto marker = engine::TemporaryFile::markerFor(dir_ / original);
        ASSERT_EQ(::setxattr(temporary.c_str(), "user.com.orbwright.kelvane.kvtmp", marker.data(), marker.size(), 0), 0);
    }

    // A file below the view, compressed by Kelvane.
    void compressed(const std::string& name, const Bytes& contents)
    {
        kelvane::test::writeRawFile(dir_ / name, contents);
        engine::FileCompressor{}.compressFile(dir_ / name);
        ASSERT_TRUE(isCompressed(name));
    }
    bool isCompressed(const std::string& name)
    {
        platform::FileStat st;
        return platform::lstat(dir_ / name, st) == 0 && (st.flags & platform::UF_COMPRESSED);
    }
    Id lookUp(const std::string& name)
    {
        FolderView::Entry entry;
        EXPECT_EQ(view_->lookUp(NodeTable::rootId, name, entry), 0) << name;
        return entry.id;
    }
    // What a read of the open file answers, as bytes.
    Bytes read(OpenFile& file, std::size_t size, off_t offset)
    {
        FolderView::ReadAnswer answer = view_->read(file, size, offset);
        EXPECT_EQ(answer.error, 0);
        Bytes out;
        if (answer.bytesFd >= 0) {
            out.resize(size);
            const ssize_t got = ::pread(answer.bytesFd, out.data(), size, offset);
            out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        }
        for (const iovec& piece : answer.pieces) {
            const auto* bytes = static_cast<const std::uint8_t*>(piece.iov_base);
            out.insert(out.end(), bytes, bytes + piece.iov_len);
        }
        return out;
    }
    Bytes readAll(OpenFile& file, std::size_t size)
    {
        Bytes out;
        for (Bytes piece; !(piece = read(file, 128 << 10, static_cast<off_t>(out.size()))).empty();)
            out.insert(out.end(), piece.begin(), piece.end());
        EXPECT_EQ(out.size(), size);
        return out;
    }
    std::vector<std::string> listed(bool plus)
    {
        std::unique_ptr<FolderView::OpenFolder> folder;
        EXPECT_EQ(view_->openFolder(NodeTable::rootId, folder), 0);
        std::vector<FolderView::ListedEntry> entries;
        EXPECT_EQ(view_->list(NodeTable::rootId, *folder, 0, 1 << 20, plus,
                              [](const char* name) { return std::strlen(name) + 32; }, entries),
                  0);
        std::vector<std::string> names;
        for (const auto& entry : entries)
            if (entry.shown && entry.name != "." && entry.name != "..")
                names.push_back(entry.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    kelvane::test::TempDir dir_;
    std::unique_ptr<FolderView> view_;
};

TEST_F(FolderViewTest, ACompressedFileShowsItsLogicalSizeItsStoredBlocksAndReadsAsItsOriginalAcrossBlockEdges)
{
    const Bytes original = compressibleLines(300000);
    compressed("big.txt", original);
    struct stat raw {};
    ASSERT_EQ(::lstat((dir_ / "big.txt").c_str(), &raw), 0);

    FolderView::Entry entry;
    ASSERT_EQ(view_->lookUp(NodeTable::rootId, "big.txt", entry), 0);
    EXPECT_EQ(entry.attr.st_size, static_cast<off_t>(original.size()));
    EXPECT_EQ(entry.attr.st_blocks, raw.st_blocks) << "du shows what the compressed data occupies";
    EXPECT_LT(raw.st_size, static_cast<off_t>(original.size()) / 4);

    std::unique_ptr<OpenFile> file;
    FolderView::OpenAnswer answer;
    ASSERT_EQ(view_->open(entry.id, O_RDONLY, file, answer), 0);
    EXPECT_EQ(readAll(*file, original.size()), original);
    // Ranges that start and end inside blocks, and one past the end.
    for (const auto& [offset, size] : std::vector<std::pair<std::size_t, std::size_t>>{
             {65535, 2}, {100, 200000}, {131071, 65538}, {original.size() - 10, 4096}}) {
        const std::size_t end = std::min(original.size(), offset + size);
        EXPECT_EQ(read(*file, size, static_cast<off_t>(offset)),
                  Bytes(original.begin() + static_cast<std::ptrdiff_t>(offset), original.begin() + static_cast<std::ptrdiff_t>(end)))
            << offset << "+" << size;
    }
    EXPECT_TRUE(read(*file, 100, static_cast<off_t>(original.size())).empty());
    EXPECT_TRUE(isCompressed("big.txt")) << "reading changes nothing";
}

TEST_F(FolderViewTest, TheStandInsRecordsAndKelvanesMarkedTemporaryFilesStayOutOfSight)
{
    compressed("doc.txt", compressibleLines(100000));
    kelvane::test::writeRawFile(dir_ / "plain.txt", compressibleLines(10));
    // A leftover of another run, and a user's own file whose name merely ends so.
    ASSERT_NO_FATAL_FAILURE(markedTemporary("doc.txt", compressibleLines(50)));
    kelvane::test::writeRawFile(dir_ / "notes.kvtmp", compressibleLines(5));

    const std::vector<std::string> expected = {"doc.txt", "notes.kvtmp", "plain.txt"};
    EXPECT_EQ(listed(false), expected);
    EXPECT_EQ(listed(true), expected);

    const Id doc = lookUp("doc.txt");
    std::vector<char> list(4096);
    const ssize_t length = view_->listAttributes(doc, list.data(), list.size());
    ASSERT_GE(length, 0);
    const std::string names(list.data(), static_cast<std::size_t>(length));
    EXPECT_EQ(names.find("decmpfs"), std::string::npos);
    EXPECT_EQ(names.find("darwin"), std::string::npos);
    char value[64];
    errno = 0;
    EXPECT_EQ(view_->getAttribute(doc, "user.com.apple.decmpfs", value, sizeof value), -1);
    EXPECT_EQ(errno, ENODATA);
    EXPECT_EQ(view_->setAttribute(doc, "user.darwin.flags", "\0\0\0\0", 4, 0), EPERM);
    EXPECT_EQ(view_->removeAttribute(doc, "user.com.apple.decmpfs"), EPERM);
    EXPECT_TRUE(isCompressed("doc.txt"));
}

TEST_F(FolderViewTest, APlainFilePassesThroughForReadingAndWriting)
{
    const Bytes original = compressibleLines(5000);
    kelvane::test::writeRawFile(dir_ / "plain.txt", original);
    std::unique_ptr<OpenFile> file;
    FolderView::OpenAnswer answer;
    ASSERT_EQ(view_->open(lookUp("plain.txt"), O_RDWR, file, answer), 0);
    EXPECT_FALSE(answer.noFlush) << "a writer's close hands its locks on";
    std::size_t written = 0;
    ASSERT_EQ(view_->write(*file, "HELLO", 5, 10, written), 0);
    EXPECT_EQ(written, 5u);
    Bytes expected = original;
    std::memcpy(expected.data() + 10, "HELLO", 5);
    EXPECT_EQ(readAll(*file, original.size()), expected);
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "plain.txt"), expected);
}

// What a change through the view leaves below, read by the platform.
class FolderViewChangeTest : public FolderViewTest {
protected:
    std::unique_ptr<OpenFile> openFile(const std::string& name, int flags)
    {
        std::unique_ptr<OpenFile> file;
        FolderView::OpenAnswer answer;
        EXPECT_EQ(view_->open(lookUp(name), flags, file, answer), 0) << name;
        return file;
    }
    Bytes platformBytes(const std::string& name)
    {
        Bytes out;
        EXPECT_EQ(platform::readWholeFile(dir_ / name, out), 0) << name;
        return out;
    }
    int truncateByName(const std::string& name, off_t size)
    {
        FolderView::AttributeChange change;
        change.size = true;
        change.values.st_size = size;
        struct stat st;
        double timeout = 0;
        return view_->setAttributes(lookUp(name), nullptr, change, st, timeout);
    }
    // Damages stored bytes in the middle of the fork, keeping its length:
    // the file is still compressed to the platform, and does not decode.
    void damageFork(const std::string& name)
    {
        platform::UniqueFd raw(::open((dir_ / name).c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_TRUE(raw);
        struct stat st {};
        ASSERT_EQ(::fstat(raw.get(), &st), 0);
        const std::vector<std::uint8_t> junk(static_cast<std::size_t>(st.st_size / 2), 0xA5);
        ASSERT_EQ(::pwrite(raw.get(), junk.data(), junk.size(), st.st_size / 4), static_cast<ssize_t>(junk.size()));
        recordForkAsItIs(dir_ / name);  // stored so, not written over by another program
        ASSERT_TRUE(isCompressed(name));
    }
};

TEST_F(FolderViewChangeTest, AFileOpenedForWritingReadsAsTheOriginalAndOnlyAChangeUndoesItsCompression)
{
    const Bytes original = compressibleLines(400000);
    compressed("db.sqlite", original);
    compressed("touched.txt", compressibleLines(200000, 3));
    compressed("grown.txt", compressibleLines(150000, 5));
    compressed("cut.txt", compressibleLines(150000, 7));

    std::unique_ptr<OpenFile> reader = openFile("db.sqlite", O_RDONLY);
    std::unique_ptr<OpenFile> file = openFile("db.sqlite", O_RDWR);
    EXPECT_TRUE(isCompressed("db.sqlite")) << "opening for writing changes nothing";
    EXPECT_EQ(readAll(*file, original.size()), original);

    // touch: times set through the open file leave it compressed.
    std::unique_ptr<OpenFile> touched = openFile("touched.txt", O_WRONLY | O_CREAT | O_NONBLOCK);
    FolderView::AttributeChange times;
    times.atime = times.atimeNow = times.mtime = times.mtimeNow = true;
    struct stat st;
    double timeout = 0;
    ASSERT_EQ(view_->setAttributes(lookUp("touched.txt"), touched.get(), times, st, timeout), 0);
    EXPECT_TRUE(isCompressed("touched.txt"));
    EXPECT_EQ(st.st_size, 200000);

    std::size_t written = 0;
    ASSERT_EQ(view_->write(*file, "CHANGED", 7, 300000, written), 0);
    EXPECT_EQ(written, 7u);
    Bytes expected = original;
    std::memcpy(expected.data() + 300000, "CHANGED", 7);
    EXPECT_FALSE(isCompressed("db.sqlite"));
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "db.sqlite"), expected) << "the file below is plain now";
    EXPECT_EQ(readAll(*file, expected.size()), expected) << "the writer reads what it wrote";
    EXPECT_EQ(readAll(*reader, expected.size()), expected) << "a reader of the old file reads on in the new one";

    // fallocate and a truncation to a size other than zero are changes too.
    std::unique_ptr<OpenFile> grown = openFile("grown.txt", O_RDWR);
    ASSERT_EQ(view_->fallocate(*grown, 0, 0, 160000), 0);
    EXPECT_FALSE(isCompressed("grown.txt"));
    Bytes grownBytes = compressibleLines(150000, 5);
    grownBytes.resize(160000, 0);
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "grown.txt"), grownBytes);
    ASSERT_EQ(truncateByName("cut.txt", 100001), 0);
    EXPECT_FALSE(isCompressed("cut.txt"));
    const Bytes cut = compressibleLines(150000, 7);
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "cut.txt"), Bytes(cut.begin(), cut.begin() + 100001));
}

TEST_F(FolderViewChangeTest, ATruncationToZeroDecodesNothingAndKeepsTheFilesMetadata)
{
    // Damaged: any decoding would fail, so only an emptying that reads no
    // stored byte can succeed.
    for (const std::string name : {"by-name.log", "by-open.log", "by-handle.log", "by-create.log"}) {
        compressed(name, compressibleLines(300000));
        damageFork(name);
        ASSERT_EQ(::chmod((dir_ / name).c_str(), 0640), 0);
        ASSERT_EQ(::setxattr((dir_ / name).c_str(), "user.note", "kept", 4, 0), 0);
    }
    ASSERT_EQ(truncateByName("by-name.log", 0), 0);
    EXPECT_TRUE(openFile("by-open.log", O_WRONLY | O_TRUNC));
    std::unique_ptr<OpenFile> handle = openFile("by-handle.log", O_RDWR);
    FolderView::AttributeChange empty;
    empty.size = true;
    struct stat st;
    double timeout = 0;
    ASSERT_EQ(view_->setAttributes(lookUp("by-handle.log"), handle.get(), empty, st, timeout), 0);
    std::size_t written = 0;
    ASSERT_EQ(view_->write(*handle, "new", 3, 0, written), 0);
    {
        std::unique_ptr<OpenFile> created;
        FolderView::Entry entry;
        FolderView::OpenAnswer answer;
        ASSERT_EQ(view_->create(NodeTable::rootId, "by-create.log", 0600, O_WRONLY | O_CREAT | O_TRUNC, created, entry,
                                answer),
                  0);
        view_->forget(entry.id, 1);
    }

    for (const std::string name : {"by-name.log", "by-open.log", "by-handle.log", "by-create.log"}) {
        EXPECT_FALSE(isCompressed(name)) << name;
        const Bytes expected = name == "by-handle.log" ? Bytes{'n', 'e', 'w'} : Bytes{};
        EXPECT_EQ(kelvane::test::readRawFile(dir_ / name), expected) << name;
        struct stat below {};
        ASSERT_EQ(::stat((dir_ / name).c_str(), &below), 0);
        EXPECT_EQ(below.st_mode & 07777, 0640u) << name;
        char note[8] = {};
        EXPECT_EQ(::getxattr((dir_ / name).c_str(), "user.note", note, sizeof note), 4) << name;
    }

    // A change that needs the old bytes says they do not decode, and leaves them.
    compressed("damaged.txt", compressibleLines(300000));
    damageFork("damaged.txt");
    const Bytes stored = kelvane::test::readRawFile(dir_ / "damaged.txt");
    std::unique_ptr<OpenFile> damaged = openFile("damaged.txt", O_WRONLY | O_APPEND);
    EXPECT_EQ(view_->write(*damaged, "x", 1, 300000, written), EIO);
    EXPECT_TRUE(isCompressed("damaged.txt"));
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "damaged.txt"), stored);
}

TEST_F(FolderViewChangeTest, AFailedUndoingSaysWhyAndLeavesTheFileCompressed)
{
    const Bytes original = compressibleLines(300000);
    compressed("busy.txt", original);
    {  // Kelvane's lock on the file: in use
        platform::UniqueFd holder(::open((dir_ / "busy.txt").c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
        std::unique_ptr<OpenFile> file = openFile("busy.txt", O_RDWR);
        std::size_t written = 0;
        EXPECT_EQ(view_->write(*file, "x", 1, 0, written), EBUSY);
        EXPECT_EQ(truncateByName("busy.txt", 10), EBUSY);
        EXPECT_EQ(truncateByName("busy.txt", 0), EBUSY);
        EXPECT_TRUE(isCompressed("busy.txt"));
    }
    EXPECT_EQ(platformBytes("busy.txt"), original);
}

TEST_F(FolderViewChangeTest, ADirectOpenOfACompressedFileReadsItsBytes)
{
    const Bytes original = compressibleLines(200000);
    compressed("direct.bin", original);
    std::unique_ptr<OpenFile> file = openFile("direct.bin", O_RDONLY | O_DIRECT);
    ASSERT_TRUE(file);
    EXPECT_EQ(readAll(*file, original.size()), original);
}

TEST_F(FolderViewChangeTest, KelvanesMarkedTemporaryFilesCannotBeOpenedCreatedOrReplaced)
{
    compressed("a.txt", compressibleLines(100000));
    kelvane::test::writeRawFile(dir_ / "b.txt", compressibleLines(10));
    ASSERT_NO_FATAL_FAILURE(markedTemporary("a.txt", compressibleLines(20)));
    kelvane::test::writeRawFile(dir_ / "mine.kvtmp", compressibleLines(5));

    FolderView::Entry entry;
    EXPECT_EQ(view_->lookUp(NodeTable::rootId, "a.txt.kvtmp", entry), ENOENT);
    std::unique_ptr<OpenFile> file;
    FolderView::OpenAnswer answer;
    EXPECT_EQ(view_->create(NodeTable::rootId, "a.txt.kvtmp", 0600, O_WRONLY | O_CREAT | O_TRUNC, file, entry, answer),
              EPERM);
    EXPECT_EQ(view_->rename(NodeTable::rootId, "b.txt", NodeTable::rootId, "a.txt.kvtmp", 0), EPERM);
    EXPECT_EQ(view_->link(lookUp("b.txt"), NodeTable::rootId, "a.txt.kvtmp", entry), EPERM);
    EXPECT_EQ(kelvane::test::readRawFile(dir_ / "a.txt.kvtmp"), compressibleLines(20)) << "untouched";
    // A user's own file of that form is a file like any other.
    EXPECT_EQ(view_->lookUp(NodeTable::rootId, "mine.kvtmp", entry), 0);
    view_->forget(entry.id, 1);
}

TEST_F(FolderViewChangeTest, AFileAnotherProgramWroteOverReadsAsItHoldsAndItsFirstWriteDropsTheStaleRecords)
{
    // Four bytes over the fork's header (the first block no longer decodes),
    // and over its offset table (the open's check fails): the length stays.
    for (const auto& [name, at] : {std::pair{"header.txt", 100}, std::pair{"table.txt", 0x104}}) {
        compressed(name, compressibleLines(300000));
        platform::UniqueFd raw(::open((dir_ / name).c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::pwrite(raw.get(), "XXXX", 4, at), 4);
        ASSERT_TRUE(isCompressed(name)) << "to the platform, by the fork's length";
    }
    for (const std::string name : {"header.txt", "table.txt"}) {
        SCOPED_TRACE(name);
        const Bytes held = kelvane::test::readRawFile(dir_ / name);
        std::unique_ptr<OpenFile> reader = openFile(name, O_RDONLY);
        ASSERT_TRUE(reader);
        EXPECT_EQ(readAll(*reader, held.size()), held) << "what it holds, not an error";
        FolderView::Entry entry;
        ASSERT_EQ(view_->lookUp(NodeTable::rootId, name, entry), 0);
        EXPECT_EQ(entry.attr.st_size, static_cast<off_t>(held.size()));
        view_->forget(entry.id, 1);

        std::unique_ptr<OpenFile> writer = openFile(name, O_WRONLY | O_APPEND);
        ASSERT_TRUE(writer);
        std::size_t written = 0;
        ASSERT_EQ(view_->write(*writer, "end", 3, static_cast<off_t>(held.size()), written), 0);
        Bytes expected = held;
        expected.insert(expected.end(), {'e', 'n', 'd'});
        EXPECT_FALSE(isCompressed(name));
        EXPECT_EQ(platformBytes(name), expected) << "the stale records are gone";
        EXPECT_EQ(readAll(*reader, expected.size()), expected);
    }
}

void mark(const std::filesystem::path& temporary, const std::filesystem::path& original)
{
    const auto marker = engine::TemporaryFile::markerFor(original);
    ASSERT_EQ(::setxattr(temporary.c_str(), "user.com.orbwright.kelvane.kvtmp", marker.data(), marker.size(), 0), 0);
}

TEST_F(FolderViewChangeTest, TheSweepRemovesLeftoversOfIdleFilesOnly)
{
    std::filesystem::create_directories(dir_ / "sub");
    for (const std::string name : {"done.txt", "busy.txt"})
        kelvane::test::writeRawFile(dir_ / name, compressibleLines(100));
    for (const std::string name : {"done.txt", "busy.txt", "gone.txt", "sub/deep.txt"}) {
        kelvane::test::writeRawFile(dir_ / (name + ".kvtmp"), compressibleLines(1000));
        mark(dir_ / (name + ".kvtmp"), dir_ / name);
    }
    kelvane::test::writeRawFile(dir_ / "mine.kvtmp", compressibleLines(10));
    kelvane::test::writeRawFile(dir_ / "self.kvtmp", compressibleLines(10));
    mark(dir_ / "self.kvtmp", dir_ / "self.kvtmp");  // a file's own marker, left after its swap
    platform::UniqueFd busy(::open((dir_ / "busy.txt").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(busy.get(), LOCK_EX | LOCK_NB), 0);  // an operation at work on it

    view_->startSweep();
    view_->waitForSweep();

    for (const std::string gone : {"done.txt.kvtmp", "gone.txt.kvtmp", "sub/deep.txt.kvtmp"})
        EXPECT_FALSE(std::filesystem::exists(dir_ / gone)) << gone;
    for (const std::string kept : {"busy.txt.kvtmp", "mine.kvtmp", "self.kvtmp", "done.txt", "busy.txt"})
        EXPECT_TRUE(std::filesystem::exists(dir_ / kept)) << kept;
}

TEST(FolderViewFullTest, ATruncationToZeroNeedsNoRoomAndAChangeThatNeedsRoomSaysEnospc)
{
    // Compressed where there is room, then copied with their records to a
    // file system with room for them and little more.
    kelvane::test::TempDir roomy;
    const Bytes original = compressibleLines(40u << 20);
    for (const std::string name : {"big.log", "other.log"}) {
        kelvane::test::writeRawFile(roomy / name, original);
        engine::FileCompressor{}.compressFile(roomy / name);
    }
    kelvane::test::SmallFileSystem small(8u << 20);
    if (!small.mounted())
        GTEST_SKIP() << small.reason();
    const std::filesystem::path served = small.path() / "served";
    ASSERT_EQ(runProgram({"cp", "-a", roomy.path().string(), served.string()}), 0);
    small.fill(1u << 20);
    FolderView view(platform::UniqueFd(::open(served.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)), ServeOptions{});

    FolderView::Entry entry;
    ASSERT_EQ(view.lookUp(NodeTable::rootId, "big.log", entry), 0);
    std::unique_ptr<OpenFile> file;
    FolderView::OpenAnswer answer;
    ASSERT_EQ(view.open(entry.id, O_WRONLY | O_TRUNC, file, answer), 0);
    struct stat st {};
    ASSERT_EQ(::stat((served / "big.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);

    ASSERT_EQ(view.lookUp(NodeTable::rootId, "other.log", entry), 0);
    ASSERT_EQ(view.open(entry.id, O_WRONLY | O_APPEND, file, answer), 0);
    std::size_t written = 0;
    EXPECT_EQ(view.write(*file, "x", 1, static_cast<off_t>(original.size()), written), ENOSPC);
    platform::FileStat below;
    ASSERT_EQ(platform::lstat(served / "other.log", below), 0);
    EXPECT_TRUE(below.flags & platform::UF_COMPRESSED);
    Bytes read;
    ASSERT_EQ(platform::readWholeFile(served / "other.log", read), 0);
    EXPECT_TRUE(read == original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(served), {}), 2) << "no temporary file stays";
}

}  // namespace
}  // namespace kelvane::fs::test
