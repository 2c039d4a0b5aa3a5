// SPDX-License-Identifier: MIT
#include "engine/DecmpfsResourceFork.h"
#include "engine/FileCompressionError.h"
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressor.h"
#include "engine/PayloadCodec.h"
#include "platform/Acl.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;

// Everything a swap must carry over, read through the layer.
struct Metadata {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    std::uint32_t flags = 0;
    timespec atime{}, mtime{}, birthtime{};
    std::string acl;
    std::vector<std::pair<std::string, Bytes>> attributes;

    static Metadata of(const Path& path)
    {
        const platform::FileStat st = statOf(path);
        Metadata m{st.uid, st.gid, st.mode, st.flags, st.atime, st.mtime, st.birthtime, {}, {}};
        m.acl = platform::aclGetFileExtended(path).toText();
        std::vector<char> names(4096);
        const ssize_t length = platform::listxattr(path, names.data(), names.size(), 0);
        for (std::size_t i = 0; length > 0 && i < static_cast<std::size_t>(length);) {
            const std::string name(names.data() + i);
            i += name.size() + 1;
            m.attributes.emplace_back(name, attribute(path, name).value_or(Bytes{0xEE}));
        }
        std::sort(m.attributes.begin(), m.attributes.end());
        return m;
    }
};

void expectSameMetadata(const Metadata& before, const Metadata& after, std::uint32_t expectedFlags)
{
    EXPECT_EQ(after.uid, before.uid);
    EXPECT_EQ(after.gid, before.gid);
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.flags, expectedFlags);
    EXPECT_EQ(after.atime.tv_sec, before.atime.tv_sec);
    EXPECT_EQ(after.atime.tv_nsec, before.atime.tv_nsec);
    EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
    EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);
    EXPECT_EQ(after.birthtime.tv_sec, before.birthtime.tv_sec);
    EXPECT_EQ(after.birthtime.tv_nsec, before.birthtime.tv_nsec);
    EXPECT_EQ(after.acl, before.acl);
    EXPECT_EQ(after.attributes, before.attributes);
}

// A file left as it was: reading it may move its access time, as any reader's
// does; everything else stays.
void expectUntouchedMetadata(const Metadata& before, Metadata after, std::uint32_t expectedFlags)
{
    after.atime = before.atime;
    expectSameMetadata(before, after, expectedFlags);
}

// Owner, mode, times, creation date, flags, two attributes (one empty) and an ACL.
// Only root can give the file another owner; anyone else compresses their own
// files, so for them the owner stays theirs and the rest is checked all the same.
void decorate(const Path& path)
{
    if (::geteuid() == 0) {
        ASSERT_EQ(platform::chown(path, 1234, 2345), 0) << errno;
    }
    setAttribute(path, "com.example.note", {'k', 'e', 'p', 't'});
    setAttribute(path, "com.example.empty", {});
    const platform::Acl acl = platform::Acl::fromText("user::rw-\nuser:4321:r--\ngroup::r--\nmask::r--\nother::---\n");
    ASSERT_TRUE(acl.valid());
    ASSERT_EQ(platform::aclSetFileExtended(path, acl), 0) << errno;
    ASSERT_EQ(platform::chmod(path, 0640), 0);
    ASSERT_EQ(platform::setCreationDate(path, timespec{1000000000, 123456789}), 0) << errno;
    ASSERT_EQ(platform::chflags(path, platform::UF_HIDDEN), 0) << errno;
    ASSERT_EQ(platform::utimensat(path, timespec{1500000000, 111}, timespec{1600000000, 999999999}), 0);
}

std::uint32_t le32(const Bytes& bytes)
{
    return static_cast<std::uint32_t>(bytes.at(0)) | static_cast<std::uint32_t>(bytes.at(1)) << 8 |
           static_cast<std::uint32_t>(bytes.at(2)) << 16 | static_cast<std::uint32_t>(bytes.at(3)) << 24;
}

void expectNoLeftovers(const Path& path)
{
    EXPECT_FALSE(pathExists(temporaryOf(path)));
    EXPECT_FALSE(attribute(path, "com.orbwright.kelvane.kvtmp").has_value());
}

class CorpusRoundTrip : public ::testing::TestWithParam<std::int64_t> {};

TEST_P(CorpusRoundTrip, EveryFileByteForByteWithItsMetadata)
{
    const std::int64_t threshold = GetParam();
    const FileCompressor compressor;
    test::TempDir dir;
    // Their forks would not be smaller than the files: left as they are.
    const std::set<Path> incompressible = {"random.bin", "precompressed-gzip.bin"};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::corpusDir())) {
        if (entry.path().extension() != ".bin")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const Bytes original = test::readRawFile(entry.path());
        const Path file = dir / entry.path().filename().string();
        test::writeRawFile(file, original);
        decorate(file);
        const Metadata before = Metadata::of(file);

        if (incompressible.contains(entry.path().filename())) {
            EXPECT_EQ(thrown<FileCompressionError>([&] { compressor.compressFile(file, threshold); }),
                      FileCompressionError(FileCompressionError::compressionDidNotReduceSize{file}));
            EXPECT_EQ(test::readRawFile(file), original);
            expectUntouchedMetadata(before, Metadata::of(file), platform::UF_HIDDEN);
            expectNoLeftovers(file);
            continue;
        }
        const CompressionResult compressed = compressor.compressFile(file, threshold);
        const Metadata afterCompression = Metadata::of(file);  // before any read moves the access time
        EXPECT_EQ(compressed.url, file);
        EXPECT_EQ(compressed.bytesBefore, static_cast<std::int64_t>(original.size()));
        EXPECT_EQ(compressed.algorithm, CompressionType::lzfseRsrc);
        EXPECT_EQ(compressed.bytesAfter, statOf(file).blocks * 512);
        EXPECT_EQ(readThroughLayer(file), original);
        EXPECT_EQ(attribute(file, platform::kDecmpfsXattrName),
                  DecmpfsHeader::encode(CompressionType::lzfseRsrc, original.size()));
        const auto fork = attribute(file, platform::kResourceForkXattrName);
        ASSERT_TRUE(fork.has_value());
        EXPECT_EQ(DecmpfsResourceFork::decode(*fork, original.size()), original);
        EXPECT_EQ(FileCompressionInspector().inspect(file).status,
                  FileCompressionStatus(FileCompressionStatus::compressed{CompressionType::lzfseRsrc, original.size()}));
        expectSameMetadata(before, afterCompression, platform::UF_HIDDEN | platform::UF_COMPRESSED);
        expectNoLeftovers(file);

        // The reads above moved the access time: compare with what the file has now.
        const Metadata beforeDecompression = Metadata::of(file);
        const CompressionResult decompressed = compressor.decompressFile(file, threshold);
        const Metadata afterDecompression = Metadata::of(file);
        EXPECT_EQ(decompressed, (CompressionResult{file, compressed.bytesBefore, compressed.bytesBefore, std::nullopt}));
        EXPECT_EQ(test::readRawFile(file), original) << "the data stream itself holds the bytes again";
        EXPECT_FALSE(attribute(file, platform::kDecmpfsXattrName).has_value());
        EXPECT_FALSE(attribute(file, platform::kResourceForkXattrName).has_value());
        expectSameMetadata(beforeDecompression, afterDecompression, platform::UF_HIDDEN);
        expectNoLeftovers(file);
    }
    EXPECT_EQ(files, 9);
}

INSTANTIATE_TEST_SUITE_P(BothRoads, CorpusRoundTrip,
                         ::testing::Values(FileCompressor::streamingThreshold, std::int64_t{65536}),
                         [](const auto& info) { return info.param == 65536 ? "Streaming" : "InMemory"; });

TEST(FileCompressorTest, ChoosesInlineOrForkByTheEncodedSize)
{
    const FileCompressor compressor;
    test::TempDir dir;
    struct Case {
        const char* name;
        Bytes data;
        std::optional<CompressionType> algorithm;  // none: compressionDidNotReduceSize
    };
    const Case cases[] = {
        {"text-16384", textBytes(16384, 1), CompressionType::lzfseAttr},
        {"text-16385", textBytes(16385, 2), CompressionType::lzfseRsrc},
        {"random-16384", randomBytes(16384, 3), std::nullopt},  // too large inline; the fork does not shrink either
        {"random-5000", randomBytes(5000, 4), std::nullopt},
        {"noisy-12000", noisyBytes(12000, 4), CompressionType::lzfseRsrc},  // too large inline, the fork shrinks
        {"random-3000", randomBytes(3000, 5), std::nullopt},  // fits inline but does not shrink
        {"text-100", textBytes(100, 6), CompressionType::lzfseAttr},
        {"empty", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Path file = dir / c.name;
        test::writeRawFile(file, c.data);
        if (!c.algorithm) {
            EXPECT_EQ(
                [&] {
                    try {
                        compressor.compressFile(file);
                    } catch (const FileCompressionError& error) {
                        return error;
                    }
                    return FileCompressionError(FileCompressionError::ioError{file, "no failure"});
                }(),
                FileCompressionError(FileCompressionError::compressionDidNotReduceSize{file}));
            EXPECT_EQ(test::readRawFile(file), c.data);
            EXPECT_FALSE(isCompressed(file));
            expectNoLeftovers(file);
            continue;
        }
        const CompressionResult result = compressor.compressFile(file);
        EXPECT_EQ(result.algorithm, c.algorithm);
        const Bytes decmpfs = attribute(file, platform::kDecmpfsXattrName).value_or(Bytes{});
        EXPECT_EQ(DecmpfsHeader::parse(decmpfs), (DecmpfsHeader{*c.algorithm, c.data.size()}));
        if (*c.algorithm == CompressionType::lzfseAttr) {
            EXPECT_LE(decmpfs.size(), 3802u);
            EXPECT_FALSE(attribute(file, platform::kResourceForkXattrName).value_or(Bytes{}).size() > 0);
        } else {
            EXPECT_EQ(decmpfs.size(), 16u);
        }
        EXPECT_EQ(readThroughLayer(file), c.data);
        EXPECT_EQ(compressor.decompressFile(file).bytesAfter, static_cast<std::int64_t>(c.data.size()));
        EXPECT_EQ(test::readRawFile(file), c.data);
    }
}

TEST(FileCompressorTest, ThresholdPicksTheRoadForBothDirections)
{
    EXPECT_EQ(FileCompressor::streamingThreshold, 16777216);
    const FileCompressor compressor;
    test::TempDir dir;
    std::vector<std::string> steps;
    ScopedStepObserver observer([&](std::string_view step) { steps.emplace_back(step); });
    auto count = [&](std::string_view name) { return std::count(steps.begin(), steps.end(), name); };

    // Just below the threshold: in memory, no block-by-block writes.
    const Path below = dir / "below";
    const Bytes belowData = textBytes(199999, 7);
    test::writeRawFile(below, belowData);
    compressor.compressFile(below, 200000);
    EXPECT_EQ(count("write block"), 0);
    EXPECT_EQ(readThroughLayer(below), belowData);
    steps.clear();
    compressor.decompressFile(below, 200000);
    EXPECT_EQ(count("write chunk"), 0);
    EXPECT_EQ(count("write data"), 1);

    // At the default threshold exactly: 256 blocks, then four 4 MiB chunks back.
    const Path at = dir / "at";
    const Bytes atData = textBytes(16777216, 8);
    test::writeRawFile(at, atData);
    steps.clear();
    const CompressionResult result = compressor.compressFile(at);
    EXPECT_EQ(count("write block"), 256);
    EXPECT_EQ(result.algorithm, CompressionType::lzfseRsrc);
    EXPECT_LT(result.bytesAfter, result.bytesBefore / 2);
    const auto fork = attribute(at, platform::kResourceForkXattrName).value_or(Bytes(4, 0));
    EXPECT_EQ(le32(fork), 1028u) << "257 offsets";
    steps.clear();
    compressor.decompressFile(at);
    EXPECT_EQ(count("write chunk"), 4);
    EXPECT_EQ(test::readRawFile(at), atData);
}

TEST(FileCompressorTest, StreamingForkEqualsTheInMemoryFork)
{
    const FileCompressor compressor;
    test::TempDir dir;
    const Bytes data = textBytes(300000, 9);
    const Path streamed = dir / "streamed";
    const Path inMemory = dir / "in-memory";
    test::writeRawFile(streamed, data);
    test::writeRawFile(inMemory, data);
    compressor.compressFile(streamed, 1);
    compressor.compressFile(inMemory);
    const auto fork = attribute(streamed, platform::kResourceForkXattrName);
    ASSERT_TRUE(fork.has_value());
    EXPECT_EQ(fork, attribute(inMemory, platform::kResourceForkXattrName));
    EXPECT_EQ(fork, DecmpfsResourceFork::encode(data));
}

// Bytes that do not shrink: the first bytes of the corpus's gzip file,
// repeated as often as needed (its 64 KiB blocks are coded independently).
Bytes gzipBytes(std::size_t count)
{
    const Bytes gzip = test::readRawFile(test::corpusDir() / "precompressed-gzip.bin");
    Bytes out;
    out.reserve(count);
    while (out.size() < count)
        out.insert(out.end(), gzip.begin(), gzip.begin() + static_cast<std::ptrdiff_t>(std::min(gzip.size(), count - out.size())));
    return out;
}

TEST(FileCompressorTest, FilesThatDoNotShrinkAreLeftAsTheyWereOnEveryRoad)
{
    const FileCompressor compressor;
    test::TempDir dir;
    struct Case {
        std::string name;
        Bytes data;
    };
    const std::size_t aboveThreshold = FileCompressor::streamingThreshold + 65536 + 7;
    const Case cases[] = {
        {"random-20k", randomBytes(20 << 10, 31)},         {"gzip-20k", gzipBytes(20 << 10)},
        {"random-1m", randomBytes(1 << 20, 32)},           {"gzip-1m", gzipBytes(1 << 20)},
        {"random-streamed", randomBytes(aboveThreshold, 33)}, {"gzip-streamed", gzipBytes(aboveThreshold)},
    };
    for (const Case& c : cases) {
        // The small ones also down the streaming road.
        for (const std::int64_t threshold : {FileCompressor::streamingThreshold, std::int64_t{65536}}) {
            SCOPED_TRACE(c.name + " threshold " + std::to_string(threshold));
            const Path file = dir / c.name;
            test::writeRawFile(file, c.data);
            decorate(file);
            const Metadata before = Metadata::of(file);
            const platform::FileStat statBefore = statOf(file);
            std::vector<std::string> steps;
            {
                ScopedStepObserver observer([&](std::string_view step) { steps.emplace_back(step); });
                EXPECT_EQ(thrown<FileCompressionError>([&] { compressor.compressFile(file, threshold); }),
                          FileCompressionError(FileCompressionError::compressionDidNotReduceSize{file}));
            }
            EXPECT_EQ(std::count(steps.begin(), steps.end(), "rename"), 0);
            EXPECT_EQ(test::readRawFile(file), c.data);
            expectUntouchedMetadata(before, Metadata::of(file), platform::UF_HIDDEN);
            EXPECT_EQ(statOf(file).ino, statBefore.ino) << "the file itself, never a replacement";
            expectNoLeftovers(file);
            if (c.data.size() >= static_cast<std::size_t>(FileCompressor::streamingThreshold))
                break;
        }
    }
}

// The encoder's work on a file that does not shrink, counted in bytes handed
// to it and blocks written: a file that may go inline is encoded once for
// both layouts, and the streamed road stops at the block that settles the
// refusal. A file that shrinks only in its last block still compresses, into
// the same fork as a plain encoding of it.
TEST(FileCompressorTest, AFileThatDoesNotShrinkCostsOneEncodingUpToTheBlockThatSettlesIt)
{
    const FileCompressor compressor;
    test::TempDir dir;
    const auto refusal = [&](const Path& file, std::int64_t threshold) {
        return thrown<FileCompressionError>([&] { compressor.compressFile(file, threshold); });
    };
    struct Refused {
        std::string name;
        Bytes data;
        std::int64_t threshold;
        std::uint64_t encoded;     // bytes handed to the encoder
        std::size_t blocksWritten;  // streamed road
    };
    const std::size_t block = DecmpfsResourceFork::chunkSize;
    const Refused refused[] = {
        {"random-3000", randomBytes(3000, 51), FileCompressor::streamingThreshold, 3000, 0},
        {"random-10000", randomBytes(10000, 52), FileCompressor::streamingThreshold, 10000, 0},
        {"random-4-blocks", randomBytes(4 * block, 53), FileCompressor::streamingThreshold, 4 * block, 0},
        {"random-4-blocks-streamed", randomBytes(4 * block, 53), 1, 4 * block, 3},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(c.name);
        const Path file = dir / c.name;
        test::writeRawFile(file, c.data);
        std::size_t blocksWritten = 0;
        const std::uint64_t before = PayloadCodec::bytesEncodedOnThisThread();
        {
            ScopedStepObserver observer([&](std::string_view step) { blocksWritten += step == "write block"; });
            EXPECT_EQ(refusal(file, c.threshold),
                      FileCompressionError(FileCompressionError::compressionDidNotReduceSize{file}));
        }
        EXPECT_EQ(PayloadCodec::bytesEncodedOnThisThread() - before, c.encoded);
        EXPECT_EQ(blocksWritten, c.blocksWritten);
        EXPECT_EQ(test::readRawFile(file), c.data);
        EXPECT_FALSE(isCompressed(file));
        expectNoLeftovers(file);
    }

    const auto thenZeros = [](Bytes data, std::size_t zeros) {
        data.resize(data.size() + zeros, 0);
        return data;
    };
    const Bytes shrinksAtItsEnd = thenZeros(randomBytes(3 * block, 54), block);
    const Bytes smallShrinksAtItsEnd = thenZeros(randomBytes(9000, 55), 3000);
    for (const Bytes* data : {&shrinksAtItsEnd, &smallShrinksAtItsEnd}) {
        for (const std::int64_t threshold : {FileCompressor::streamingThreshold, std::int64_t{1}}) {
            SCOPED_TRACE(std::to_string(data->size()) + " bytes, threshold " + std::to_string(threshold));
            const Path file = dir / "shrinks-at-its-end";
            test::writeRawFile(file, *data);
            EXPECT_EQ(compressor.compressFile(file, threshold).algorithm, CompressionType::lzfseRsrc);
            EXPECT_EQ(attribute(file, platform::kResourceForkXattrName), DecmpfsResourceFork::encode(*data));
            EXPECT_EQ(readThroughLayer(file), *data);
            std::filesystem::remove(file);
        }
    }
}

// Random bytes, then zeros: the zeros cost the fork almost nothing, so each
// one more brings the fork a byte closer to the file's size. Finds the files
// whose fork is exactly one byte shorter than, and exactly as long as, the file.
TEST(FileCompressorTest, AForkOneByteSmallerIsKeptAndOneOfTheSameSizeIsNot)
{
    const FileCompressor compressor;
    test::TempDir dir;
    std::optional<Bytes> oneShorter;
    std::optional<Bytes> sameSize;
    for (std::size_t zeros = 0; zeros < 4096 && !(oneShorter && sameSize); ++zeros) {
        Bytes data = randomBytes(30000, 40);
        data.resize(data.size() + zeros, 0);
        const std::size_t fork = DecmpfsResourceFork::encode(data).size();
        if (fork + 1 == data.size() && !oneShorter)
            oneShorter = data;
        if (fork == data.size() && !sameSize)
            sameSize = data;
    }
    ASSERT_TRUE(oneShorter && sameSize) << "no file found at the edge";
    for (const std::int64_t threshold : {FileCompressor::streamingThreshold, std::int64_t{1}}) {
        SCOPED_TRACE("threshold " + std::to_string(threshold));
        const Path kept = dir / "one-byte-shorter";
        test::writeRawFile(kept, *oneShorter);
        const CompressionResult result = compressor.compressFile(kept, threshold);
        EXPECT_EQ(result.algorithm, CompressionType::lzfseRsrc);
        EXPECT_EQ(attribute(kept, platform::kResourceForkXattrName).value_or(Bytes{}).size(), oneShorter->size() - 1);
        EXPECT_EQ(readThroughLayer(kept), *oneShorter);
        compressor.decompressFile(kept, threshold);
        EXPECT_EQ(test::readRawFile(kept), *oneShorter);

        const Path left = dir / "same-size";
        test::writeRawFile(left, *sameSize);
        EXPECT_EQ(thrown<FileCompressionError>([&] { compressor.compressFile(left, threshold); }),
                  FileCompressionError(FileCompressionError::compressionDidNotReduceSize{left}));
        EXPECT_EQ(test::readRawFile(left), *sameSize);
        EXPECT_FALSE(isCompressed(left));
        expectNoLeftovers(left);
    }
}

// Another program appended to a compressed file (outside any mount): the file
// reads, inspects and decompresses as the original followed by what was appended.
TEST(FileCompressorTest, AFileAnotherProgramAppendedToDecompressesToTheOriginalAndTheAppendedBytes)
{
    const FileCompressor compressor;
    test::TempDir dir;
    const Bytes data = textBytes(300000, 50);
    const Bytes tail = textBytes(70001, 51);
    Bytes expected = data;
    expected.insert(expected.end(), tail.begin(), tail.end());
    for (const std::int64_t threshold : {FileCompressor::streamingThreshold, std::int64_t{65536}}) {
        SCOPED_TRACE("threshold " + std::to_string(threshold));
        const Path file = dir / ("appended-" + std::to_string(threshold));
        test::writeRawFile(file, data);
        decorate(file);
        compressor.compressFile(file, threshold);
        {
            std::ofstream out(file, std::ios::binary | std::ios::app);  // bypasses the layer
            out.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
        }

        const FileCompressionInfo info = FileCompressionInspector().inspect(file);
        EXPECT_EQ(info.logicalSize, expected.size());
        EXPECT_EQ(info.status.kind(), FileCompressionStatus::Kind::compressed);
        EXPECT_EQ(readThroughLayer(file), expected);

        const Metadata before = Metadata::of(file);
        const CompressionResult result = compressor.decompressFile(file, threshold);
        expectSameMetadata(before, Metadata::of(file), platform::UF_HIDDEN);  // before a read moves the access time
        EXPECT_EQ(result.bytesBefore, static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(result.bytesAfter, static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(test::readRawFile(file), expected) << "a plain file of the original and the appended bytes";
        expectNoLeftovers(file);
    }
}

}  // namespace
}  // namespace kelvane::engine
