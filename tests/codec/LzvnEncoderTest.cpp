// SPDX-License-Identifier: MIT
#include "codec/LzvnDecoder.h"
#include "codec/LzvnEncoder.h"
#include "codec/GuardedBuffer.h"
#include "codec/EncoderInputs.h"

#include <gtest/gtest.h>

namespace kelvane::codec::test {
namespace {

Bytes encode(const Bytes& src, std::size_t capacity)
{
    GuardedBuffer dst(capacity);
    const std::size_t n = lzvnEncode(src, dst.span());
    EXPECT_TRUE(dst.guardsIntact());
    const auto out = dst.first(n);
    return Bytes(out.begin(), out.end());
}

Bytes encode(const Bytes& src) { return encode(src, 2 * src.size() + 64); }

// Round trip through the decoder, which insists on the end instruction
// closing the payload and on every instruction being defined.
void expectRoundTrip(const Bytes& src, const std::string& what)
{
    const Bytes payload = encode(src);
    ASSERT_GE(payload.size(), 8u) << what;
    const Bytes end = {0x06, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(end.begin(), end.end(), payload.end() - 8)) << what;
    Bytes out(src.size());
    const DecodeResult r = lzvnDecode(payload, out);
    EXPECT_EQ(r.status, DecodeStatus::ok) << what;
    EXPECT_EQ(r.written, src.size()) << what;
    EXPECT_EQ(out, src) << what;
}

TEST(LzvnEncoder, EmptyInputIsJustTheEndInstruction)
{
    EXPECT_EQ(encode({}), (Bytes{0x06, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(LzvnEncoder, EveryLiteralCountAndMatchLengthAroundTheInstructionLimits)
{
    // Each piece: a few fresh literals, then the start of an earlier pattern;
    // the parse turns them into literal/match pairs of every small shape,
    // near (under 1536), medium (under 16384) and far (up to 65535) away.
    const Bytes pattern = randomBytes(400, 1);
    for (std::size_t gap : {0u, 2000u, 20000u}) {
        Bytes src = pattern;
        std::uint32_t seed = 100;
        for (std::size_t literals = 0; literals <= 20; ++literals) {
            for (std::size_t length = 3; length <= 40; ++length) {
                const Bytes fresh = randomBytes(literals, seed++);
                src.insert(src.end(), fresh.begin(), fresh.end());
                src.insert(src.end(), pattern.begin(), pattern.begin() + static_cast<std::ptrdiff_t>(length));
                src.push_back(0xEE);
            }
            if (gap != 0) {
                const Bytes filler = randomBytes(gap / 20, seed++);
                src.insert(src.end(), filler.begin(), filler.end());
            }
        }
        expectRoundTrip(src, "gap " + std::to_string(gap));
    }
    // Literal runs around 15/16 and 271/272 and beyond.
    for (std::size_t run : {1u, 3u, 4u, 15u, 16u, 17u, 271u, 272u, 273u, 1000u}) {
        const Bytes src = concat({text(200), randomBytes(run, static_cast<std::uint32_t>(run)), text(200)});
        expectRoundTrip(src, "literal run " + std::to_string(run));
    }
    // Match lengths far past what one instruction carries, near and far.
    for (std::size_t run : {10u, 11u, 34u, 35u, 271u, 287u, 5000u}) {
        expectRoundTrip(concat({Bytes{1, 2, 3}, Bytes(run, 9)}), "zero run " + std::to_string(run));
        const Bytes block = randomBytes(run, 3);
        expectRoundTrip(concat({block, randomBytes(20000, 4), block}), "far run " + std::to_string(run));
    }
}

TEST(LzvnEncoder, DistancesStopAtWhatTheInstructionsCarry)
{
    const Bytes block = randomBytes(512, 8);
    for (std::size_t distance : {1535u, 1536u, 16383u, 16384u, 65535u, 65536u, 70000u}) {
        const Bytes between = randomBytes(distance - block.size(), 9);
        const Bytes src = concat({block, between, block});
        expectRoundTrip(src, "distance " + std::to_string(distance));
        const std::size_t unrelated = encode(concat({block, between, randomBytes(block.size(), 10)})).size();
        // Up to 65535 the repeat is one match; beyond, it costs what new bytes do.
        if (distance <= 65535)
            EXPECT_LT(encode(src).size() + 400, unrelated) << distance;
        else
            EXPECT_EQ(encode(src).size(), unrelated) << distance;
    }
}

TEST(LzvnEncoder, TextAndRunsShrinkAndEveryCorpusKindRoundTrips)
{
    EXPECT_LT(encode(text(4095)).size(), 2100u);
    EXPECT_LT(encode(Bytes(4000, 0)).size(), 60u);
    for (const char* name : {"app-bundle.bin", "elf-sharedlib.bin", "json-log.bin", "sqlite-db.bin", "text-japanese.bin",
                             "random.bin"}) {
        const Bytes& all = corpusFile(name);
        for (std::size_t at : {0u, 100000u, 1000000u})
            expectRoundTrip(Bytes(all.begin() + static_cast<std::ptrdiff_t>(at), all.begin() + static_cast<std::ptrdiff_t>(at + 4000)), name);
        expectRoundTrip(Bytes(all.begin(), all.begin() + 65536), name);
    }
}

TEST(LzvnEncoder, ExactCapacitySucceedsAndOneByteLessFails)
{
    for (const Bytes& src : {text(3000), randomBytes(500, 5), Bytes(100, 'A'), text(1)}) {
        const Bytes full = encode(src);
        ASSERT_FALSE(full.empty());
        EXPECT_EQ(encode(src, full.size()), full);
        EXPECT_TRUE(encode(src, full.size() - 1).empty());
        EXPECT_EQ(encode(src), full) << "same input, same bytes";
    }
}

}  // namespace
}  // namespace kelvane::codec::test
