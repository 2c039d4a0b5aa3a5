// SPDX-License-Identifier: MIT
// The mount's rules without a mount: what the view of a folder shows, reads
// and changes, driven the way the kernel's requests drive it.

#include "fs/FolderView.h"

#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kelvane::fs::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Id = FolderView::Id;

Bytes lines(std::size_t count, unsigned seed = 0)
{
    Bytes out;
    for (std::size_t i = 0; out.size() < count; ++i) {
        const std::string line = "line " + std::to_string((i + seed) % 977) + " of a file that compresses well\n";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(count);
    return out;
}

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
    const Bytes original = lines(300000);
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
    compressed("doc.txt", lines(100000));
    kelvane::test::writeRawFile(dir_ / "plain.txt", lines(10));
    // A leftover of another run, and a user's own file whose name merely ends so.
    kelvane::test::writeRawFile(dir_ / "doc.txt.kvtmp", lines(50));
    const auto marker = engine::TemporaryFile::markerFor(dir_ / "doc.txt");
    ASSERT_EQ(::setxattr((dir_ / "doc.txt.kvtmp").c_str(), "user.com.orbwright.kelvane.kvtmp", marker.data(),
                         marker.size(), 0),
              0);
    kelvane::test::writeRawFile(dir_ / "notes.kvtmp", lines(5));

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
    const Bytes original = lines(5000);
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

}  // namespace
}  // namespace kelvane::fs::test
