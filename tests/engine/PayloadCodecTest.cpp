// SPDX-License-Identifier: MIT
#include "engine/DecmpfsInline.h"
#include "engine/DecmpfsResourceFork.h"
#include "engine/LZFSE.h"
#include "engine/PayloadCodec.h"
#include "platform/DecmpfsRecord.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;
using decmpfs::DecodeResult;
using decmpfs::DecodeStatus;

LZFSEError decodeFailed(std::int64_t expected, std::int64_t got)
{
    return LZFSEError(LZFSEError::decodeFailed{expected, got});
}

// A stream without its 4-byte end marker: the decoder has produced every byte
// by then, and only the status says that the stream is cut.
Bytes withoutEndMarker(Bytes stream)
{
    stream.resize(stream.size() - 4);
    return stream;
}

TEST(PayloadCodecTest, TheDecodeStatusDecidesTheTypedFailure)
{
    EXPECT_EQ(PayloadCodec::decodeFailure({DecodeStatus::ok, 10}, 10), std::nullopt);
    EXPECT_EQ(PayloadCodec::decodeFailure({DecodeStatus::destinationFull, 10}, 10), std::nullopt)
        << "a stream that decodes further passes with its first bytes";
    EXPECT_EQ(PayloadCodec::decodeFailure({DecodeStatus::ok, 7}, 10), decodeFailed(10, 7));
    EXPECT_EQ(PayloadCodec::decodeFailure({DecodeStatus::malformed, 10}, 10), decodeFailed(10, 0))
        << "a full count does not make a malformed stream pass";
    EXPECT_EQ(PayloadCodec::decodeFailure({DecodeStatus::malformed, 4}, 10), decodeFailed(10, 0));

    // The same through every road that decodes, from a real cut stream.
    const Bytes text = textBytes(5000, 1);
    const Bytes cut = withoutEndMarker(LZFSE::encode(text));
    Bytes out(text.size());
    EXPECT_EQ(platform::compressionDecodeBuffer(out, cut), (DecodeResult{DecodeStatus::malformed, text.size()}));
    EXPECT_EQ(out, text) << "the codec did produce every byte";
    EXPECT_EQ(thrown<LZFSEError>([&] { LZFSE::decode(cut, text.size()); }), decodeFailed(5000, 0));

    Bytes attribute = DecmpfsHeader::encode(CompressionType::lzfseAttr, text.size());
    attribute.insert(attribute.end(), cut.begin(), cut.end());
    EXPECT_EQ(thrown<LZFSEError>([&] { DecmpfsInline::decode(attribute); }), decodeFailed(5000, 0));
    std::vector<std::uint8_t> read;
    EXPECT_FALSE(platform::decmpfs::decodeInline({rawValue(CompressionType::lzfseAttr), text.size()},
                                                 std::span(attribute).subspan(DecmpfsHeader::byteCount), read))
        << "the file system refuses it too";

    const Bytes data = textBytes(70000, 2);
    Bytes fork = DecmpfsResourceFork::encode(data);
    fork.resize(fork.size() - 4);
    setEntry(fork, 2, static_cast<std::uint32_t>(fork.size()));
    EXPECT_EQ(thrown<LZFSEError>([&] { DecmpfsResourceFork::decode(fork, data.size()); }),
              decodeFailed(70000 - 65536, 0));
}

// The attribute's payload of `data` for the coding of `type`, as the engine
// and the file system both read it; the stored bytes for codings the engine
// does not read.
Bytes attributeOf(CompressionType type, const Bytes& data)
{
    Bytes attribute = DecmpfsHeader::encode(type, data.size());
    switch (decmpfs::compressionRoad(type).codec->coding) {
    case decmpfs::Coding::storedV2:
    case decmpfs::Coding::zlib:
        attribute.push_back(0xff);
        break;
    case decmpfs::Coding::lzvn:
        attribute.push_back(0x06);
        break;
    case decmpfs::Coding::lzfse: {
        const Bytes stream = LZFSE::encode(data);
        attribute.insert(attribute.end(), stream.begin(), stream.end());
        return attribute;
    }
    case decmpfs::Coding::stored:
    case decmpfs::Coding::none:
        break;
    }
    attribute.insert(attribute.end(), data.begin(), data.end());
    return attribute;
}

TEST(PayloadCodecTest, TheEngineReadsWhatTheFileSystemReadsTheSameWay)
{
    const Bytes data = textBytes(3000, 3);
    std::vector<CompressionType> engineReads;
    for (CompressionType type : allCompressionTypes) {
        const Bytes attribute = attributeOf(type, data);
        std::vector<std::uint8_t> fileSystem;
        const bool fileSystemReads = platform::decmpfs::decodeInline(
            {rawValue(type), data.size()}, std::span(attribute).subspan(DecmpfsHeader::byteCount), fileSystem);
        try {
            EXPECT_EQ(DecmpfsInline::decode(attribute), data) << caseName(type);
            ASSERT_TRUE(fileSystemReads) << caseName(type) << ": the engine reads what the file system does not";
            EXPECT_EQ(fileSystem, data) << caseName(type);
            engineReads.push_back(type);
        } catch (const DecmpfsInlineError& error) {
            EXPECT_EQ(error, DecmpfsInlineError(DecmpfsInlineError::unsupportedCompressionType{type}));
        }
    }
    // The type it writes and the stored ones; zlib and LZVN only the file system reads.
    EXPECT_EQ(engineReads, (std::vector<CompressionType>{CompressionType::uncompressedAttr,
                                                         CompressionType::uncompressedAttrV2,
                                                         CompressionType::lzfseAttr}));
}

TEST(PayloadCodecTest, WritesThroughTheCodecOfTheWrittenTypes)
{
    EXPECT_EQ(DecmpfsInline::compressionType, CompressionType::lzfseAttr);
    EXPECT_EQ(DecmpfsResourceFork::compressionType, CompressionType::lzfseRsrc);
    const Bytes noise = randomBytes(65536, 4);
    for (const decmpfs::Codec* codec : {&DecmpfsInline::codec, &DecmpfsResourceFork::codec}) {
        // Incompressible input fits the bound; the stream reads back.
        Bytes room(codec->encodeBound(noise.size()));
        const std::size_t length = PayloadCodec::encodeInto(*codec, noise, room);
        Bytes back(noise.size());
        PayloadCodec::decodeInto(*codec, std::span(room).first(length), back);
        EXPECT_EQ(back, noise);
    }
    // A coding without an encoder is a typed failure, not a crash.
    EXPECT_EQ(thrown<LZFSEError>([&] { PayloadCodec::encode(decmpfs::codecs::zlib, noise); }),
              LZFSEError(LZFSEError::encodeFailed{}));
}

}  // namespace
}  // namespace kelvane::engine
