// SPDX-License-Identifier: MIT
#include "engine/DecmpfsInline.h"
#include "engine/LZFSE.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>


namespace kelvane::engine {
namespace {

using namespace fixtures;

Bytes withHeader(CompressionType type, std::uint64_t size, const Bytes& payload)
{
    Bytes out = DecmpfsHeader::encode(type, size);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

TEST(LZFSETest, RoundTripsAndChecksTheCountOnly)
{
    EXPECT_TRUE(LZFSE::encode({}).empty());
    for (std::size_t size : {1u, 7u, 8u, 100u, 4095u, 4096u, 65536u}) {
        const Bytes text = textBytes(size, static_cast<unsigned>(size));
        const Bytes stream = LZFSE::encode(text);
        EXPECT_EQ(LZFSE::decode(stream, size), text) << size;
        if (size >= 4096) {
            EXPECT_LT(stream.size(), size / 2) << "text must shrink";
        }
        const Bytes noise = randomBytes(size, 9);
        EXPECT_LE(LZFSE::encode(noise).size(), size + 64);
        EXPECT_EQ(LZFSE::decode(LZFSE::encode(noise), size), noise);
    }

    const Bytes text = textBytes(10000, 1);
    const Bytes stream = LZFSE::encode(text);
    // A stream longer than asked for passes with its first bytes.
    EXPECT_EQ(LZFSE::decode(stream, 5000), Bytes(text.begin(), text.begin() + 5000));
    EXPECT_EQ(thrown<LZFSEError>([&] { LZFSE::decode(stream, 10001); }),
              LZFSEError(LZFSEError::decodeFailed{10001, 10000}));
    EXPECT_EQ(thrown<LZFSEError>([&] { LZFSE::decode({}, 10); }), LZFSEError(LZFSEError::decodeFailed{10, 0}));
    EXPECT_TRUE(LZFSE::decode(Bytes{1, 2, 3}, 0).empty()) << "size 0 never looks at the stream";
    // A hostile size is refused before any allocation.
    EXPECT_EQ(thrown<LZFSEError>([&] { LZFSE::decode(stream, 1ull << 40); }),
              LZFSEError(LZFSEError::decodeFailed{1ll << 40, 0}));
    EXPECT_EQ(LZFSEError(LZFSEError::decodeFailed{5, 3}).description(), "decodeFailed(expectedBytes: 5, gotBytes: 3)");
    EXPECT_EQ(LZFSEError(LZFSEError::encodeFailed{}).description(), "encodeFailed");
}

TEST(DecmpfsInlineTest, EncodesWithinTheAttributeLimit)
{
    const Bytes empty = DecmpfsInline::encodeLZFSE({});
    EXPECT_EQ(empty, DecmpfsHeader::encode(CompressionType::lzfseAttr, 0));
    EXPECT_TRUE(DecmpfsInline::decode(empty).empty());

    const Bytes text = textBytes(12000, 3);
    const Bytes attribute = DecmpfsInline::encodeLZFSE(text);
    EXPECT_EQ(DecmpfsHeader::parse(attribute), (DecmpfsHeader{CompressionType::lzfseAttr, 12000}));
    EXPECT_EQ(DecmpfsInline::decode(attribute), text);

    // Random bytes: find the largest input that still fits, then one more byte.
    std::size_t fits = 0;
    for (std::size_t n = 3700; n < 3800; ++n) {
        const Bytes noise = randomBytes(n, 5);
        const std::size_t length = 16 + LZFSE::encode(noise).size();
        if (length == DecmpfsInline::maxPayloadBytes) {
            EXPECT_EQ(DecmpfsInline::encodeLZFSE(noise).size(), 3802u);
            fits = n;
        } else if (length > DecmpfsInline::maxPayloadBytes) {
            EXPECT_EQ(thrown<DecmpfsInlineError>([&] { DecmpfsInline::encodeLZFSE(noise); }),
                      DecmpfsInlineError(DecmpfsInlineError::payloadTooLarge{static_cast<std::int64_t>(length), 3802}));
            break;
        }
    }
    EXPECT_GT(fits, 0u) << "an attribute of exactly 3802 bytes was never built";
}

TEST(DecmpfsInlineTest, DecodesRawTypesAndRejectsDamage)
{
    const Bytes hundred = textBytes(120, 4);
    const Bytes first100(hundred.begin(), hundred.begin() + 100);
    EXPECT_EQ(DecmpfsInline::decode(withHeader(CompressionType::uncompressedAttr, 100, hundred)), first100);
    EXPECT_EQ(thrown<DecmpfsInlineError>([&] {
                  DecmpfsInline::decode(withHeader(CompressionType::uncompressedAttr, 100, Bytes(first100.begin(), first100.end() - 1)));
              }),
              DecmpfsInlineError(DecmpfsInlineError::truncatedPayload{100, 99}));

    Bytes v2{0xFF};
    v2.insert(v2.end(), hundred.begin(), hundred.end());
    EXPECT_EQ(DecmpfsInline::decode(withHeader(CompressionType::uncompressedAttrV2, 100, v2)), first100);
    v2[0] = 0xFE;
    const DecmpfsInlineError missingPrefix(DecmpfsInlineError::missingUncompressedV2Prefix{});
    EXPECT_EQ(thrown<DecmpfsInlineError>([&] { DecmpfsInline::decode(withHeader(CompressionType::uncompressedAttrV2, 100, v2)); }),
              missingPrefix);
    EXPECT_EQ(thrown<DecmpfsInlineError>([&] { DecmpfsInline::decode(withHeader(CompressionType::uncompressedAttrV2, 0, {})); }),
              missingPrefix);
    EXPECT_EQ(thrown<DecmpfsInlineError>([&] { DecmpfsInline::decode(withHeader(CompressionType::uncompressedAttrV2, 5, {0xFF, 1, 2})); }),
              DecmpfsInlineError(DecmpfsInlineError::truncatedPayload{5, 2}));

    for (CompressionType type : {CompressionType::zlibAttr, CompressionType::lzfseRsrc, CompressionType::lzvnAttr}) {
        const DecmpfsInlineError error =
            thrown<DecmpfsInlineError>([&] { DecmpfsInline::decode(withHeader(type, 10, Bytes(10, 0))); });
        EXPECT_EQ(error, DecmpfsInlineError(DecmpfsInlineError::unsupportedCompressionType{type}));
    }
    EXPECT_EQ(DecmpfsInlineError(DecmpfsInlineError::unsupportedCompressionType{CompressionType::zlibAttr}).description(),
              "unsupportedCompressionType(zlibAttr)");

    // A stream that decodes short reports the codec's own failure.
    const Bytes text = textBytes(3000, 6);
    Bytes attribute = DecmpfsInline::encodeLZFSE(text);
    attribute[8] = 0xB9;  // announce 3001 bytes
    EXPECT_EQ(thrown<LZFSEError>([&] { DecmpfsInline::decode(attribute); }),
              LZFSEError(LZFSEError::decodeFailed{3001, 3000}));
    // Hostile sizes: a raw payload is compared, never allocated; LZFSE refuses.
    EXPECT_EQ(thrown<DecmpfsInlineError>([&] { DecmpfsInline::decode(withHeader(CompressionType::uncompressedAttr, ~0ull, {1})); }),
              DecmpfsInlineError(DecmpfsInlineError::truncatedPayload{INT64_MAX, 1}));
    EXPECT_NO_THROW(thrown<LZFSEError>([&] { DecmpfsInline::decode(withHeader(CompressionType::lzfseAttr, ~0ull, {1})); }));
    // A bad header passes through unchanged.
    EXPECT_EQ(thrown<DecmpfsHeaderError>([&] { DecmpfsInline::decode(Bytes(10, 0)); }),
              DecmpfsHeaderError(DecmpfsHeaderError::insufficientBytes{16, 10}));
}

TEST(DecmpfsInlineTest, DecodesTheSharedVector)
{
    const auto dir = test::testDataDir() / "decmpfs";
    const Bytes attribute = test::readRawFile(dir / "inline-text-3k.decmpfs");
    EXPECT_EQ(DecmpfsHeader::parse(attribute), (DecmpfsHeader{CompressionType::lzfseAttr, 3000}));
    EXPECT_EQ(DecmpfsInline::decode(attribute), test::readRawFile(dir / "inline-text-3k.raw"));
}

}  // namespace
}  // namespace kelvane::engine
