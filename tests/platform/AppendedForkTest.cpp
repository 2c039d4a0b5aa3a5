// SPDX-License-Identifier: MIT
// Another program (outside any mount) appends to a compressed file whose fork
// fills the data stream: the layer reads it as the original followed by the
// appended bytes, as the platform would have kept it. Anything else written
// over the fork makes the file what it now holds.

#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "platform/StoredForms.h"

#include "codec/LittleEndian.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kelvane::platform {
namespace {

constexpr const char* kForkRecord = "user.darwin.rsrc";

Bytes readWhole(const std::filesystem::path& path)
{
    Bytes out;
    if (readWholeFile(path, out) != 0)
        throw std::runtime_error("readWholeFile: errno=" + std::to_string(errno));
    return out;
}

// What `echo ... >> file` does: the host's own calls, no layer involved.
void appendRaw(const std::filesystem::path& path, const Bytes& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

void writeRawAt(const std::filesystem::path& path, const Bytes& bytes, off_t offset)
{
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

Bytes rawRecord(const std::filesystem::path& path)
{
    Bytes record(64);
    const ssize_t got = ::getxattr(path.c_str(), kForkRecord, record.data(), record.size());
    record.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return record;
}

FileStat statOf(const std::filesystem::path& path)
{
    FileStat st;
    if (lstat(path, st) != 0)
        throw std::runtime_error("lstat: errno=" + std::to_string(errno));
    return st;
}

// The fork streamed through ..namedfork/rsrc, as the streaming road writes it.
void storeStreamed(const std::filesystem::path& path, const Bytes& header, const Bytes& fork)
{
    test::writeRawFile(path, {});
    ASSERT_EQ(setxattr(path, kDecmpfsXattrName, header.data(), header.size(), 0, 0), 0);
    UniqueFd fd = open(resourceForkPath(path), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_TRUE(fd);
    for (std::size_t at = 0; at < fork.size(); at += 10000)
        ASSERT_GT(write(fd.get(), fork.data() + at, std::min<std::size_t>(10000, fork.size() - at)), 0);
    fd.close();
    ASSERT_EQ(chflags(path, UF_COMPRESSED), 0);
}

TEST(AppendedForkTest, AppendedFilesOfBothForkTypesReadAsTheOriginalFollowedByTheAppendedBytes)
{
    TempDir dir;
    const Bytes data = test::sampleText(3 * 65536 + 777, 5);
    const Bytes tail = test::randomBytes(70000, 6);  // longer than a block, odd length
    struct Case {
        const char* name;
        std::uint32_t type;
        Bytes fork;
        bool streamed;
    };
    const Case cases[] = {
        {"lzfse", 12, test::forkOf(data, test::lzfse), false},
        {"lzvn", 8, test::forkOf(data, test::lzvn), false},
        {"lzfseStreamed", 12, test::forkOf(data, test::lzfse), true},
        {"lzvnStreamed", 8, test::forkOf(data, test::lzvn), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir / c.name;
        const Bytes header = test::decmpfsHeader(c.type, data.size());
        if (c.streamed)
            storeStreamed(file, header, c.fork);
        else
            test::storeCompressed(file, header, &c.fork);
        ASSERT_EQ(rawRecord(file).size(), 40u);  // length and digest

        appendRaw(file, Bytes(tail.begin(), tail.begin() + 1000));
        appendRaw(file, Bytes(tail.begin() + 1000, tail.end()));  // a second program appends too
        const Bytes expected = data + tail;

        const FileStat st = statOf(file);
        EXPECT_TRUE(st.flags & UF_COMPRESSED);
        EXPECT_EQ(st.size, static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(readWhole(file), expected);
        for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{65537}, std::size_t{4093}})
            EXPECT_EQ(readInChunks(file, chunk), expected) << chunk;

        // The fork is still the fork alone, however it is reached.
        EXPECT_EQ(getxattr(file, kResourceForkXattrName, nullptr, 0, 0, XATTR_SHOWCOMPRESSION),
                  static_cast<ssize_t>(c.fork.size()));
        Bytes fork(c.fork.size() + 100);
        fork.resize(static_cast<std::size_t>(
            getxattr(file, kResourceForkXattrName, fork.data(), fork.size(), 0, XATTR_SHOWCOMPRESSION)));
        EXPECT_EQ(fork, c.fork);
        UniqueFd forkFd = open(resourceForkPath(file), O_RDONLY);
        ASSERT_TRUE(forkFd);
        Bytes viaPath(c.fork.size() + 100);
        viaPath.resize(static_cast<std::size_t>(::pread(forkFd.get(), viaPath.data(), viaPath.size(), 0)));
        EXPECT_EQ(viaPath, c.fork);
    }
}

TEST(AppendedForkTest, ADataStreamThatNoLongerBeginsWithTheForkIsWhatItNowHolds)
{
    TempDir dir;
    const Bytes data = test::sampleText(2 * 65536 + 99, 8);
    const Bytes fork = test::forkOf(data, test::lzfse);
    const Bytes header = test::decmpfsHeader(12, data.size());
    const Bytes tail = test::sampleText(5000, 9);

    const auto expectPlain = [](const std::filesystem::path& file, const Bytes& raw) {
        const FileStat st = statOf(file);
        EXPECT_FALSE(st.flags & UF_COMPRESSED);
        EXPECT_EQ(st.size, static_cast<std::int64_t>(raw.size()));
        EXPECT_EQ(readWhole(file), raw);
    };

    // Overwritten by a longer stream that differs from the fork in one byte.
    const auto rewritten = dir / "rewritten";
    test::storeCompressed(rewritten, header, &fork);
    Bytes other = fork + tail;
    other[fork.size() / 2] ^= 0x40;
    test::writeRawFile(rewritten, other);
    expectPlain(rewritten, other);

    // Overwritten by a shorter stream, and truncated.
    const auto shorter = dir / "shorter";
    test::storeCompressed(shorter, header, &fork);
    test::writeRawFile(shorter, tail);
    expectPlain(shorter, tail);
    const auto truncated = dir / "truncated";
    test::storeCompressed(truncated, header, &fork);
    ASSERT_EQ(::truncate(truncated.c_str(), static_cast<off_t>(fork.size() - 1)), 0);
    expectPlain(truncated, Bytes(fork.begin(), fork.end() - 1));

    // Appended first and read as such, then a byte of the fork changed in
    // place: the earlier verdict must not outlive the change.
    const auto changedLater = dir / "changedLater";
    test::storeCompressed(changedLater, header, &fork);
    appendRaw(changedLater, tail);
    ASSERT_EQ(readWhole(changedLater), data + tail);
    Bytes flipped{static_cast<std::uint8_t>(fork[fork.size() - 3] ^ 1)};
    writeRawAt(changedLater, flipped, static_cast<off_t>(fork.size() - 3));
    Bytes raw = fork + tail;
    raw[fork.size() - 3] ^= 1;
    expectPlain(changedLater, raw);
}

TEST(AppendedForkTest, ForgedDamagedOrMissingDigestsKeepTheLengthRule)
{
    TempDir dir;
    const Bytes data = test::sampleText(100000, 10);
    const Bytes fork = test::forkOf(data, test::lzfse);
    const Bytes header = test::decmpfsHeader(12, data.size());
    const Bytes tail = test::sampleText(300, 11);

    const auto setRecord = [](const std::filesystem::path& file, const Bytes& record) {
        ASSERT_EQ(::setxattr(file.c_str(), kForkRecord, record.data(), record.size(), 0), 0);
    };
    const auto lengthOnly = [](std::uint64_t length) {
        Bytes record;
        le::append64(record, length);
        return record;
    };
    const auto withDigest = [&](std::uint64_t length, const Sha256Digest& digest) {
        return lengthOnly(length) + Bytes(digest.begin(), digest.end());
    };
    const Sha256Digest right = Sha256::digest(fork);
    Sha256Digest damaged = right;
    damaged[17] ^= 0x01;

    struct Case {
        const char* name;
        Bytes record;
    };
    const Case cases[] = {
        {"lengthOnly", lengthOnly(fork.size())},                           // written by earlier versions
        {"damagedDigest", withDigest(fork.size(), damaged)},
        {"digestOfTheWholeStream", withDigest(fork.size(), Sha256::digest(fork + tail))},
        {"lengthPastTheFork", withDigest(fork.size() + 1, right)},         // forged length, right digest
        {"recordCutShort", withDigest(fork.size(), right)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir / c.name;
        test::storeCompressed(file, header, &fork);
        Bytes record = c.record;
        if (std::string_view(c.name) == "recordCutShort")
            record.pop_back();
        setRecord(file, record);
        if (record.size() != 39) {
            // Before anything is appended, a record of the right length keeps
            // the file compressed exactly as before.
            const FileStat before = statOf(file);
            const bool lengthMatches = le::load64(c.record.data()) == fork.size();
            EXPECT_EQ(static_cast<bool>(before.flags & UF_COMPRESSED), lengthMatches);
            if (lengthMatches) {
                EXPECT_EQ(readWhole(file), data);
            }
        }
        appendRaw(file, tail);
        const FileStat st = statOf(file);
        EXPECT_FALSE(st.flags & UF_COMPRESSED);
        EXPECT_EQ(st.size, static_cast<std::int64_t>(fork.size() + tail.size()));
        EXPECT_EQ(readWhole(file), fork + tail);
    }
}

TEST(AppendedForkTest, TheForkOfAnAppendedFileIsNotChangedInPlace)
{
    TempDir dir;
    const Bytes data = test::sampleText(70000, 12);
    const Bytes fork = test::forkOf(data, test::lzfse);
    const Bytes tail = test::sampleText(1234, 13);
    const auto file = dir / "file";
    test::storeCompressed(file, test::decmpfsHeader(12, data.size()), &fork);
    appendRaw(file, tail);

    // Each of these would cut the appended bytes off or mix them into the fork.
    EXPECT_EQ(setxattr(file, kResourceForkXattrName, fork.data(), fork.size(), 0, 0), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(removexattr(file, kResourceForkXattrName, XATTR_SHOWCOMPRESSION), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_FALSE(open(resourceForkPath(file), O_WRONLY));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_FALSE(open(file, O_WRONLY));
    EXPECT_EQ(errno, EBUSY);
    // Adding a flag keeps the record: still the original and the appended bytes.
    ASSERT_EQ(chflags(file, UF_COMPRESSED | UF_HIDDEN), 0);
    EXPECT_EQ(readWhole(file), data + tail);
    EXPECT_EQ(statOf(file).size, static_cast<std::int64_t>(data.size() + tail.size()));

    // Truncating on open makes it an empty ordinary file, as for any compressed file.
    UniqueFd truncated = open(file, O_WRONLY | O_TRUNC);
    ASSERT_TRUE(truncated);
    const FileStat st = statOf(file);
    EXPECT_FALSE(st.flags & UF_COMPRESSED);
    EXPECT_EQ(st.size, 0);
}

}  // namespace
}  // namespace kelvane::platform
