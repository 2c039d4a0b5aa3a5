// SPDX-License-Identifier: MIT
#include "engine/FileCompressionError.h"
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressor.h"
#include "codec/LittleEndian.h"

#include "EngineFixtures.h"
#include "platform/PosixError.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/resource.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;
using Status = FileCompressionStatus;

std::uint64_t statusValue(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stoull(line.substr(std::strlen(key))) * 1024;
    }
    return 0;
}

// Caps the address space for the life of the object, so that an allocation
// sized from a damaged header fails loudly instead of passing unnoticed.
class AddressSpaceCap {
public:
    explicit AddressSpaceCap(std::uint64_t headroom)
    {
#if !defined(__SANITIZE_ADDRESS__)
        ::getrlimit(RLIMIT_AS, &saved_);
        rlimit capped = saved_;
        capped.rlim_cur = statusValue("VmSize:") + headroom;
        active_ = ::setrlimit(RLIMIT_AS, &capped) == 0;
#else
        (void)headroom;
#endif
    }
    ~AddressSpaceCap()
    {
        if (active_)
            ::setrlimit(RLIMIT_AS, &saved_);
    }

private:
    rlimit saved_{};
    bool active_ = false;
};

struct Damage {
    std::string name;
    Bytes decmpfs;
    std::optional<Bytes> fork;
    // What the inspector says: a status, or the reason of decmpfsHeaderInvalid.
    std::optional<Status> status;
    std::string invalidReason;
};

std::vector<Damage> damagedFiles()
{
    const auto vectors = test::testDataDir() / "decmpfs";
    const Bytes forkHeader = test::readRawFile(vectors / "fork-text-200k.decmpfs");
    const Bytes fork = test::readRawFile(vectors / "fork-text-200k.rsrc");
    const Bytes inlineValue = test::readRawFile(vectors / "inline-text-3k.decmpfs");
    const auto rsrc = [](std::uint64_t size) { return Status(Status::compressed{CompressionType::lzfseRsrc, size}); };
    const auto attr = [](std::uint64_t size) { return Status(Status::compressed{CompressionType::lzfseAttr, size}); };

    std::vector<Damage> list;
    // Header fields.
    Bytes magic = forkHeader;
    magic[3] ^= 0xFF;
    list.push_back({"magic", magic, fork, std::nullopt, "invalidMagic(" + std::to_string(le::read32(magic, 0)) + ")"});
    Bytes type = forkHeader;
    type[4] = 2;
    list.push_back({"type-2", type, fork, std::nullopt, "unknownCompressionType(2)"});
    type[4] = 4;  // a known type the system does not read
    list.push_back({"type-zlib-fork", type, fork, Status(Status::compressed{CompressionType::zlibRsrc, 200000}), ""});
    type[4] = 11;  // inline type, but the data is in the fork
    list.push_back({"type-inline-with-fork", type, fork, attr(200000), ""});
    list.push_back({"header-cut", Bytes(forkHeader.begin(), forkHeader.begin() + 12), fork, std::nullopt,
                    "insufficientBytes(needed: 16, got: 12)"});
    for (std::uint64_t size : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{131072}, std::uint64_t{199999},
                               std::uint64_t{200001}, std::uint64_t{2147483647}, std::uint64_t{1} << 31,
                               std::uint64_t{1} << 40, ~std::uint64_t{0}})
        list.push_back({"size-" + std::to_string(size), withSize(forkHeader, size), fork, rsrc(size), ""});

    // Fork fields.
    Bytes first = fork;
    setEntry(first, 0, 24);
    list.push_back({"first-offset", forkHeader, first, rsrc(200000), ""});
    Bytes pastEnd = fork;
    setEntry(pastEnd, 4, static_cast<std::uint32_t>(fork.size() + 100));
    list.push_back({"offset-past-end", forkHeader, pastEnd, rsrc(200000), ""});
    Bytes hugeOffset = fork;
    setEntry(hugeOffset, 2, 0xFFFFFFF0u);
    list.push_back({"offset-huge", forkHeader, hugeOffset, rsrc(200000), ""});
    Bytes decreasing = fork;
    setEntry(decreasing, 2, le::read32(fork, 4) - 1);
    list.push_back({"offset-decreasing", forkHeader, decreasing, rsrc(200000), ""});
    Bytes emptyBlock = fork;
    setEntry(emptyBlock, 1, le::read32(fork, 0));
    list.push_back({"block-empty", forkHeader, emptyBlock, rsrc(200000), ""});
    Bytes body = fork;
    for (std::size_t i = 0; i < 200; ++i)
        body[le::read32(fork, 4) + 40 + i] ^= static_cast<std::uint8_t>(0x5A + i);
    list.push_back({"block-body", forkHeader, body, rsrc(200000), ""});
    Bytes blockMagic = fork;
    blockMagic[le::read32(fork, 0) + 3] = '?';
    list.push_back({"block-magic", forkHeader, blockMagic, rsrc(200000), ""});
    list.push_back({"fork-cut", forkHeader, Bytes(fork.begin(), fork.end() - 1000), rsrc(200000), ""});
    list.push_back({"fork-table-only", forkHeader, Bytes(fork.begin(), fork.begin() + 20), rsrc(200000), ""});
    list.push_back({"fork-missing", forkHeader, std::nullopt, rsrc(200000), ""});

    // Inline payloads.
    Bytes streamMagic = inlineValue;
    streamMagic[19] = '?';
    list.push_back({"inline-stream-magic", streamMagic, std::nullopt, attr(3000), ""});
    Bytes literals = inlineValue;  // may still decode, to other bytes: there is no checksum
    for (std::size_t i = 40; i < 90; ++i)
        literals[i] ^= 0xA5;
    list.push_back({"inline-body", literals, std::nullopt, attr(3000), ""});
    list.push_back({"inline-cut", Bytes(inlineValue.begin(), inlineValue.end() - 30), std::nullopt, attr(3000), ""});
    list.push_back({"inline-size", withSize(inlineValue, 1u << 30), std::nullopt, attr(1u << 30), ""});
    list.push_back({"inline-no-payload", Bytes(inlineValue.begin(), inlineValue.begin() + 16), std::nullopt, attr(3000), ""});
    return list;
}

// For every damaged field: the inspector gives the right state or error, a
// read through the layer and decompressFile agree, a failed decompression
// leaves the file exactly as it was, and nothing allocates from the damage.
TEST(DamagedCompressedFileTest, EveryFieldFailsCleanly)
{
    test::TempDir dir;
    const FileCompressor compressor;
    const FileCompressionInspector inspector;
    const std::vector<Damage> cases = damagedFiles();
    AddressSpaceCap cap(768u << 20);
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.name);
        const Path file = dir / d.name;
        makeCompressedFile(file, d.decmpfs, d.fork);
        const Bytes rawBefore = test::readRawFile(file);

        if (d.status) {
            EXPECT_EQ(inspector.inspect(file).status, *d.status);
        } else {
            try {
                inspector.inspect(file);
                ADD_FAILURE() << "inspection succeeded";
            } catch (const FileCompressionInspectionError& error) {
                EXPECT_EQ(error, FileCompressionInspectionError(
                                     FileCompressionInspectionError::decmpfsHeaderInvalid{d.invalidReason}));
            }
        }

        Bytes readable;
        const bool layerReads = platform::readWholeFile(file, readable) == 0;
        try {
            const CompressionResult result = compressor.decompressFile(file);
            EXPECT_TRUE(layerReads) << "decompressed what the layer cannot read";
            EXPECT_EQ(test::readRawFile(file), readable);
            EXPECT_EQ(result.bytesAfter, static_cast<std::int64_t>(readable.size()));
        } catch (const FileCompressionError& error) {
            EXPECT_EQ(error.url(), file) << error.description();
            EXPECT_TRUE(isCompressed(file));
            EXPECT_EQ(test::readRawFile(file), rawBefore);
            EXPECT_EQ(attribute(file, platform::kDecmpfsXattrName), d.decmpfs);
            EXPECT_TRUE(error.kind() == FileCompressionError::Kind::ioError ||
                        error.kind() == FileCompressionError::Kind::roundtripVerificationFailed)
                << error.description();
        }
        EXPECT_FALSE(pathExists(temporaryOf(file)));
    }
}

TEST(DamagedCompressedFileTest, DamageThatTheLayerCannotReadIsAnIoError)
{
    test::TempDir dir;
    const FileCompressor compressor;
    const std::string eio = "read compressed: " + platform::errorDescription(EIO);
    for (const Damage& d : damagedFiles()) {
        if (d.name != "block-body" && d.name != "first-offset" && d.name != "fork-cut" && d.name != "inline-stream-magic" &&
            d.name != "size-200001" && d.name != "type-2")
            continue;
        SCOPED_TRACE(d.name);
        const Path file = dir / d.name;
        makeCompressedFile(file, d.decmpfs, d.fork);
        try {
            compressor.decompressFile(file);
            ADD_FAILURE() << "decompressed";
        } catch (const FileCompressionError& error) {
            EXPECT_EQ(error, FileCompressionError(FileCompressionError::ioError{file, eio}));
        }
    }
}

}  // namespace
}  // namespace kelvane::engine
