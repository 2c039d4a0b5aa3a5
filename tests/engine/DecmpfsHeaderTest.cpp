// SPDX-License-Identifier: MIT
#include "engine/DecmpfsHeader.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace kelvane::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CompressionTypeTest, RawValuesNamesAndGaps)
{
    ASSERT_EQ(allCompressionTypes.size(), 13u);
    std::unordered_set<CompressionType> seen;
    std::uint32_t previous = 0;
    for (CompressionType type : allCompressionTypes) {
        EXPECT_GT(rawValue(type), previous) << "declaration order follows the raw values";
        previous = rawValue(type);
        EXPECT_EQ(compressionTypeFromRaw(rawValue(type)), type);
        seen.insert(type);
    }
    EXPECT_EQ(seen.size(), 13u);
    for (std::uint32_t missing : {0u, 2u, 15u, 0x80000001u, 0xFFFFFFFFu})
        EXPECT_FALSE(compressionTypeFromRaw(missing).has_value()) << missing;

    EXPECT_EQ(algorithmName(CompressionType::uncompressedAttrV2), "Uncompressed");
    EXPECT_EQ(algorithmName(CompressionType::zlibRsrc), "ZLIB");
    EXPECT_EQ(algorithmName(CompressionType::datalessSparse), "Sparse");
    EXPECT_EQ(algorithmName(CompressionType::lzvnAttr), "LZVN");
    EXPECT_EQ(algorithmName(CompressionType::lzfseRsrc), "LZFSE");
    EXPECT_EQ(algorithmName(CompressionType::lzbitmapAttr), "LZBitmap");
}

TEST(DecmpfsHeaderTest, EncodesExactBytes)
{
    EXPECT_EQ(DecmpfsHeader::encode(CompressionType::lzfseRsrc, 0),
              (Bytes{0x66, 0x70, 0x6D, 0x63, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(DecmpfsHeader::encode(CompressionType::lzfseAttr, 4096),
              (Bytes{0x66, 0x70, 0x6D, 0x63, 0x0B, 0, 0, 0, 0x00, 0x10, 0, 0, 0, 0, 0, 0}));
    // Sizes beyond 32 bits are written in full.
    const Bytes big = DecmpfsHeader::encode(CompressionType::lzfseAttr, 0x0102030405060708ull);
    EXPECT_EQ(Bytes(big.begin() + 8, big.end()), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(DecmpfsHeader::parse(big).uncompressedSize, 0x0102030405060708ull);
}

TEST(DecmpfsHeaderTest, ParseChecksLengthThenMagicThenType)
{
    Bytes valid = DecmpfsHeader::encode(CompressionType::lzfseRsrc, 200000);
    EXPECT_EQ(DecmpfsHeader::parse(valid), (DecmpfsHeader{CompressionType::lzfseRsrc, 200000}));

    auto failure = [](const Bytes& bytes) -> DecmpfsHeaderError {
        try {
            DecmpfsHeader::parse(bytes);
        } catch (const DecmpfsHeaderError& error) {
            return error;
        }
        ADD_FAILURE() << "parse accepted the bytes";
        return DecmpfsHeaderError(DecmpfsHeaderError::insufficientBytes{-1, -1});
    };

    EXPECT_EQ(failure(Bytes(valid.begin(), valid.begin() + 15)),
              DecmpfsHeaderError(DecmpfsHeaderError::insufficientBytes{16, 15}));
    EXPECT_EQ(failure({}), DecmpfsHeaderError(DecmpfsHeaderError::insufficientBytes{16, 0}));

    Bytes swapped = valid;
    std::copy_n(Bytes{0x63, 0x6D, 0x70, 0x66}.begin(), 4, swapped.begin());
    EXPECT_EQ(failure(swapped), DecmpfsHeaderError(DecmpfsHeaderError::invalidMagic{0x66706d63}));
    EXPECT_EQ(failure(Bytes(swapped.begin(), swapped.begin() + 8)),
              DecmpfsHeaderError(DecmpfsHeaderError::insufficientBytes{16, 8}));

    for (std::uint32_t type : {2u, 0u, 15u, 0x80000001u}) {
        Bytes bad = valid;
        for (int i = 0; i < 4; ++i)
            bad[4 + i] = static_cast<std::uint8_t>(type >> (8 * i));
        EXPECT_EQ(failure(bad), DecmpfsHeaderError(DecmpfsHeaderError::unknownCompressionType{type}));
        bad[0] = 0;  // a wrong magic is reported first
        EXPECT_NE(failure(bad).as<DecmpfsHeaderError::invalidMagic>(), nullptr);
    }

    EXPECT_EQ(failure(swapped).description(), "invalidMagic(1718644067)");
    EXPECT_EQ(failure({1, 2, 3}).description(), "insufficientBytes(needed: 16, got: 3)");
}

TEST(DecmpfsHeaderTest, ParseReadsOnlyTheSlicesOwnFirstSixteenBytes)
{
    Bytes attribute = DecmpfsHeader::encode(CompressionType::lzfseAttr, 20000);
    attribute.resize(3802, 0xEE);  // payload garbage is left to the payload decoders
    EXPECT_EQ(DecmpfsHeader::parse(attribute), (DecmpfsHeader{CompressionType::lzfseAttr, 20000}));

    Bytes larger(7, 0xAB);
    const Bytes header = DecmpfsHeader::encode(CompressionType::uncompressedAttrV2, 77);
    larger.insert(larger.end(), header.begin(), header.end());
    EXPECT_EQ(DecmpfsHeader::parse(std::span(larger).subspan(7)),
              (DecmpfsHeader{CompressionType::uncompressedAttrV2, 77}));
}

}  // namespace
}  // namespace kelvane::engine
