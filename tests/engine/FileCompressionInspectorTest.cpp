// SPDX-License-Identifier: MIT
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressor.h"
#include "engine/FileCompressionError.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <unistd.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;
using Error = FileCompressionInspectionError;
using Status = FileCompressionStatus;

Error inspectionFailure(const Path& path)
{
    try {
        FileCompressionInspector().inspect(path);
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "inspection of " << path << " succeeded";
    return Error(Error::decmpfsHeaderInvalid{"no failure"});
}

TEST(FileCompressionInspectorTest, UncompressedFilesByCandidacy)
{
    test::TempDir dir;
    const FileCompressionInspector inspector;
    const Path small = dir / "small";
    const Path enough = dir / "enough";
    test::writeRawFile(small, textBytes(4095, 1));
    test::writeRawFile(enough, textBytes(4096, 2));
    EXPECT_EQ(inspector.inspect(small).status, Status(Status::incompressible{}));
    const FileCompressionInfo info = inspector.inspect(enough);
    EXPECT_EQ(info.status, Status(Status::uncompressed{}));
    EXPECT_EQ(info.logicalSize, 4096u);
    EXPECT_EQ(info.physicalSize, static_cast<std::uint64_t>(statOf(enough).blocks) * 512);

    const Path linked = dir / "linked";
    test::writeRawFile(linked, textBytes(1000000, 3));
    std::filesystem::create_hard_link(linked, dir / "linked-2");
    EXPECT_EQ(inspector.inspect(linked).status, Status(Status::incompressible{}));

    const Path link = dir / "link";
    const Path big = dir / "big";
    test::writeRawFile(big, textBytes(100000, 4));
    std::filesystem::create_symlink(big, link);
    const FileCompressionInfo linkInfo = inspector.inspect(link);
    EXPECT_EQ(linkInfo.status, Status(Status::incompressible{}));
    EXPECT_EQ(linkInfo.logicalSize, big.string().size()) << "the link itself, not its target";
    EXPECT_EQ(inspector.inspect(dir.path()).status, Status(Status::incompressible{}));

    const Path missing = dir / "missing";
    const Error notFound = inspectionFailure(missing);
    EXPECT_EQ(notFound, Error(Error::fileNotFound{missing}));
    EXPECT_EQ(notFound.errorDescription(), "ファイルが見つかりません: " + missing.string());
}

TEST_F(AsNobodyTest, InspectorsRefusedLstatIsAnIoError)
{
    const Path& locked = folder_;
    test::writeRawFile(locked / "file", textBytes(5000, 5));
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    // Only an unprivileged user is refused.
    const std::string text = reportAsNobody([&]() -> std::string {
        try {
            FileCompressionInspector().inspect(locked / "file");
            return "inspected";
        } catch (const Error& error) {
            return error.errorDescription();
        }
    });
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    EXPECT_EQ(text, "I/O エラー: lstat: errno=" + std::to_string(EACCES) + "\nパス: " + (locked / "file").string());
}

TEST(FileCompressionInspectorTest, CompressedStatesAndPhysicalSize)
{
    test::TempDir dir;
    const FileCompressionInspector inspector;
    const Bytes inlineHeader = DecmpfsHeader::encode(CompressionType::lzfseAttr, 20000);

    const Path inlineFile = dir / "inline";
    makeCompressedFile(inlineFile, inlineHeader, std::nullopt);
    const FileCompressionInfo inlineInfo = inspector.inspect(inlineFile);
    EXPECT_EQ(inlineInfo.status, Status(Status::compressed{CompressionType::lzfseAttr, 20000}));
    EXPECT_EQ(inlineInfo.physicalSize, std::max<std::uint64_t>(16, statOf(inlineFile).blocks * 512));

    const Path forkFile = dir / "fork";
    const Bytes fork = textBytes(50000, 6);  // only its length counts here
    makeCompressedFile(forkFile, DecmpfsHeader::encode(CompressionType::lzfseRsrc, 300000), fork);
    const FileCompressionInfo forkInfo = inspector.inspect(forkFile);
    EXPECT_EQ(forkInfo.status, Status(Status::compressed{CompressionType::lzfseRsrc, 300000}));
    EXPECT_EQ(forkInfo.logicalSize, 300000u);
    EXPECT_EQ(forkInfo.physicalSize, std::max<std::uint64_t>(50000 + 16, statOf(forkFile).blocks * 512));
    EXPECT_GE(forkInfo.physicalSize, 50016u);

    const Path dataless = dir / "dataless";
    makeCompressedFile(dataless, withType(DecmpfsHeader::encode(CompressionType::lzfseAttr, 123456), 0x80000001), std::nullopt);
    const FileCompressionInfo datalessInfo = inspector.inspect(dataless);
    EXPECT_EQ(datalessInfo.status, Status(Status::datalessCloud{}));
    EXPECT_GE(datalessInfo.physicalSize, 16u);

    // Every known type is recognised, whether or not the system reads it.
    for (CompressionType type : allCompressionTypes) {
        const Path file = dir / ("type-" + std::to_string(rawValue(type)));
        makeCompressedFile(file, DecmpfsHeader::encode(type, 7000), std::nullopt);
        EXPECT_EQ(inspector.inspect(file).status, Status(Status::compressed{type, 7000}));
    }
}

TEST(FileCompressionInspectorTest, BadHeadersByReason)
{
    test::TempDir dir;
    const Bytes valid = DecmpfsHeader::encode(CompressionType::lzfseRsrc, 5000);
    struct Case {
        const char* name;
        Bytes decmpfs;
        std::string reason;
    };
    Bytes badMagic = valid;
    badMagic[0] = 0x67;
    const Case cases[] = {
        {"empty", {}, "insufficientBytes(needed: 16, got: 0)"},
        {"short", Bytes(valid.begin(), valid.begin() + 10), "insufficientBytes(needed: 16, got: 10)"},
        {"type-2", withType(valid, 2), "unknownCompressionType(2)"},
        {"type-15", withType(valid, 15), "unknownCompressionType(15)"},
        {"magic", badMagic, "invalidMagic(1668116583)"},
    };
    for (const Case& c : cases) {
        const Path file = dir / c.name;
        makeCompressedFile(file, c.decmpfs, std::nullopt);
        const Error error = inspectionFailure(file);
        EXPECT_EQ(error, Error(Error::decmpfsHeaderInvalid{c.reason})) << c.name;
        EXPECT_EQ(error.errorDescription(), "decmpfs ヘッダが不正: " + c.reason);
    }

    // The flag without the attribute: the layer keeps the flag on an empty file.
    const Path flagOnly = dir / "flag-only";
    test::writeRawFile(flagOnly, {});
    ASSERT_EQ(platform::chflags(flagOnly, platform::UF_COMPRESSED), 0) << errno;
    const Error missing = inspectionFailure(flagOnly);
    EXPECT_EQ(missing, Error(Error::decmpfsHeaderMissingDespiteFlag{}));
    EXPECT_EQ(missing.errorDescription(), "圧縮フラグが立っていますが decmpfs ヘッダが見つかりません。");
}

TEST(FileCompressionInspectorTest, CompressionRatio)
{
    const FileCompressionInfo quarter{Status::uncompressed{}, 1000, 250};
    EXPECT_DOUBLE_EQ(quarter.compressionRatio().value(), 0.25);
    EXPECT_FALSE((FileCompressionInfo{Status::uncompressed{}, 0, 4096}.compressionRatio().has_value()));
    EXPECT_GT((FileCompressionInfo{Status::uncompressed{}, 100, 4096}.compressionRatio().value()), 1.0);
}

// A file compressed and decompressed over and over by another thread is
// always seen in one state or the other: never as damaged or unreadable
// because it changed between the lstat and the attribute reads.
TEST(FileCompressionInspectorTest, AFileChangingWhileItIsInspectedIsReadAgain)
{
    test::TempDir dir;
    const Path file = dir / "busy";
    test::writeRawFile(file, textBytes(40000, 9));
    std::atomic<bool> done = false;
    std::thread changer([&] {
        const FileCompressor compressor;
        for (int round = 0; round < 150; ++round) {
            compressor.compressFile(file);
            compressor.decompressFile(file);
        }
        done = true;
    });
    int inspections = 0;
    std::vector<std::string> failures;
    while (!done) {
        try {
            const Status::Kind kind = FileCompressionInspector().inspect(file).status.kind();
            if (kind != Status::Kind::compressed && kind != Status::Kind::uncompressed)
                failures.push_back("state " + std::to_string(int(kind)));
        } catch (const Error& error) {
            failures.push_back(error.description());
        }
        ++inspections;
    }
    changer.join();
    EXPECT_GT(inspections, 0);
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << inspections << ", first: " << failures.front();
}

// Files laid out from the shared vectors read back, inspect and decompress
// exactly like files this system compressed itself.
TEST(FileCompressionInspectorTest, SharedVectorsOnDisk)
{
    test::TempDir dir;
    const auto vectors = test::testDataDir() / "decmpfs";
    struct Vector {
        const char* name;
        CompressionType type;
        bool hasFork;
    };
    for (const Vector& v : {Vector{"inline-text-3k", CompressionType::lzfseAttr, false},
                            Vector{"fork-text-200k", CompressionType::lzfseRsrc, true}}) {
        SCOPED_TRACE(v.name);
        const Bytes raw = test::readRawFile(vectors / (std::string(v.name) + ".raw"));
        const Bytes decmpfs = test::readRawFile(vectors / (std::string(v.name) + ".decmpfs"));
        std::optional<Bytes> fork;
        if (v.hasFork)
            fork = test::readRawFile(vectors / (std::string(v.name) + ".rsrc"));
        const Path file = dir / v.name;
        makeCompressedFile(file, decmpfs, fork);

        EXPECT_EQ(readThroughLayer(file), raw);
        const FileCompressionInfo info = FileCompressionInspector().inspect(file);
        EXPECT_EQ(info.status, Status(Status::compressed{v.type, raw.size()}));
        EXPECT_EQ(info.logicalSize, raw.size());
        EXPECT_GE(info.physicalSize, decmpfs.size() + (fork ? fork->size() : 0));

        const CompressionResult result = FileCompressor().decompressFile(file);
        EXPECT_EQ(result.bytesAfter, static_cast<std::int64_t>(raw.size()));
        EXPECT_EQ(test::readRawFile(file), raw);
        // Below 4096 bytes a plain file is no candidate.
        EXPECT_EQ(FileCompressionInspector().inspect(file).status,
                  raw.size() < 4096 ? Status(Status::incompressible{}) : Status(Status::uncompressed{}));
    }
}

}  // namespace
}  // namespace kelvane::engine
