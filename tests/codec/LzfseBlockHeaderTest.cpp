// SPDX-License-Identifier: MIT
#include "codec/LzfseBlockHeader.h"
#include "codec/LzfseDecoder.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace kelvane::codec {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes vector(const std::string& name)
{
    return test::readRawFile(test::testDataDir() / "lzfse/vectors" / (name + ".lzfse"));
}

template <std::size_t N>
int sum(const std::array<std::uint16_t, N>& a)
{
    return std::accumulate(a.begin(), a.end(), 0);
}

// A header that uses every length of the frequency code.
LzfseBlockHeader everyCodeLength()
{
    LzfseBlockHeader h;
    h.rawBytes = 0x12345678;
    h.literalCount = 40000;
    h.matchCount = 10000;
    h.literalPayloadBytes = (1u << 20) - 1;
    h.lmdPayloadBytes = 77;
    h.literalFinalBits = -7;
    h.lmdFinalBits = 0;
    h.literalStates = {0, 1, 1022, 1023};
    h.lState = 63;
    h.mState = 1;
    h.dState = 255;
    h.lFreq = {0, 1, 2, 3, 4, 7, 8, 23, 16};                // 64
    h.mFreq[19] = 64;                                       // one symbol takes every state
    h.dFreq = {24, 1, 1, 230};                              // 256
    h.literalFreq = {1, 2, 3, 4, 7, 8, 23, 24, 952};        // 1024
    return h;
}

TEST(LzfseBlockHeader, ParsesTheV2HeaderOfAVectorBlockAndWritesItBackByteForByte)
{
    const Bytes stream = vector("text-4096");
    const auto parsed = parseLzfseBlockHeaderV2(stream);
    ASSERT_TRUE(parsed);
    const LzfseBlockHeader& h = parsed->header;
    EXPECT_EQ(parsed->headerBytes, 192u);
    EXPECT_EQ(h.rawBytes, 4096u);
    EXPECT_EQ(h.literalCount, 1228u);
    EXPECT_EQ(h.matchCount, 268u);
    EXPECT_EQ(h.literalPayloadBytes, 839u);
    EXPECT_EQ(h.lmdPayloadBytes, 596u);
    EXPECT_EQ(h.literalFinalBits, -2);
    EXPECT_EQ(h.lmdFinalBits, -6);
    EXPECT_EQ(h.literalStates, (std::array<std::uint16_t, 4>{0x93, 0x82, 0x3e, 0xe4}));
    EXPECT_EQ(h.lState, 63);
    EXPECT_EQ(h.mState, 23);
    EXPECT_EQ(h.dState, 57);
    EXPECT_EQ(h.lFreq[0], 24);
    // The common encoder normalises every table to its full state count.
    EXPECT_EQ(sum(h.lFreq), 64);
    EXPECT_EQ(sum(h.mFreq), 64);
    EXPECT_EQ(sum(h.dFreq), 256);
    EXPECT_EQ(sum(h.literalFreq), 1024);

    EXPECT_EQ(h.v2Size(), 192u);
    Bytes written(300, 0xEE);
    ASSERT_EQ(writeLzfseBlockHeaderV2(h, written), 192u);
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 192, stream.begin()));
    EXPECT_EQ(written[192], 0xEE);
}

TEST(LzfseBlockHeader, V1AndV2FormsOfTheSameBlockParseToTheSameHeader)
{
    const auto v2 = parseLzfseBlockHeaderV2(vector("text-4096"));
    const auto v1 = parseLzfseBlockHeaderV1(vector("v1-text-4096"));
    ASSERT_TRUE(v2);
    ASSERT_TRUE(v1);
    EXPECT_EQ(v1->headerBytes, kLzfseV1HeaderBytes);
    EXPECT_EQ(v1->header, v2->header);
}

TEST(LzfseBlockHeader, RoundTripsEveryCodeLengthAndFieldExtreme)
{
    const LzfseBlockHeader h = everyCodeLength();
    ASSERT_TRUE(h.isValid());
    Bytes block(h.v2Size() + h.literalPayloadBytes + h.lmdPayloadBytes);
    ASSERT_EQ(writeLzfseBlockHeaderV2(h, block), h.v2Size());
    const auto parsed = parseLzfseBlockHeaderV2(block);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->header, h);
    EXPECT_EQ(parsed->headerBytes, h.v2Size());

    // One byte short of the payloads: the block does not fit.
    block.pop_back();
    EXPECT_FALSE(parseLzfseBlockHeaderV2(block));
}

// Every value a frequency can take, at every bit offset the codes before it
// leave, read back as written: each code length and each value bit.
TEST(LzfseBlockHeader, EveryFrequencyValueReadsBackAtEveryBitOffset)
{
    for (std::uint32_t v = 0; v <= 1024; ++v) {
        for (std::uint16_t lead = 0; lead < 8; ++lead) {
            LzfseBlockHeader h = everyCodeLength();
            // Each 2 in the L table takes a bit more than the 0 it replaces:
            // the literal codes start 0..7 bits further on.
            h.lFreq = {};
            h.lFreq[0] = static_cast<std::uint16_t>(64 - 2 * lead);
            for (std::uint16_t i = 0; i < lead; ++i)
                h.lFreq[1 + i] = 2;
            h.literalFreq = {};
            h.literalFreq[0] = static_cast<std::uint16_t>(v);
            h.literalFreq[1] = static_cast<std::uint16_t>(1024 - v);
            ASSERT_TRUE(h.isValid());
            Bytes block(h.v2Size() + h.literalPayloadBytes + h.lmdPayloadBytes);
            ASSERT_EQ(writeLzfseBlockHeaderV2(h, block), h.v2Size());
            const auto parsed = parseLzfseBlockHeaderV2(block);
            ASSERT_TRUE(parsed) << "value " << v << " lead " << lead;
            ASSERT_EQ(parsed->header, h) << "value " << v << " lead " << lead;
        }
    }
}

TEST(LzfseBlockHeader, WritingRefusesInvalidHeadersAndShortDestinations)
{
    const LzfseBlockHeader good = everyCodeLength();
    Bytes dst(good.v2Size());
    EXPECT_EQ(writeLzfseBlockHeaderV2(good, std::span(dst).first(dst.size() - 1)), 0u);

    std::vector<LzfseBlockHeader> bad(11, good);
    bad[0].literalFreq[0] += 1;  // 1025 literal states
    bad[1].lFreq[19] = 1;        // 65 L states
    bad[2].dFreq[63] = 31;       // 257 D states
    bad[3].literalStates[2] = 1024;
    bad[4].dState = 256;
    bad[5].mState = 64;
    bad[6].literalCount = 40001;
    bad[7].matchCount = 10001;
    bad[8].lmdPayloadBytes = 1u << 20;
    bad[9].dFreq[3] -= 1;        // 255 D states: a short table
    bad[10].literalFreq[8] -= 1; // 1023 literal states
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(bad[i].isValid()) << "case " << i;
        EXPECT_EQ(writeLzfseBlockHeaderV2(bad[i], dst), 0u) << "case " << i;
    }
}

TEST(LzfseBlockHeader, ParsingRejectsCorruptV2Headers)
{
    const Bytes good = vector("text-4096");
    ASSERT_TRUE(parseLzfseBlockHeaderV2(good));
    const auto patched = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    // Header size (low byte of the third packed word at offset 24): one byte
    // more or less than the frequency code needs.
    EXPECT_FALSE(parseLzfseBlockHeaderV2(patched(24, 193)));
    EXPECT_FALSE(parseLzfseBlockHeaderV2(patched(24, 191)));
    EXPECT_FALSE(parseLzfseBlockHeaderV2(patched(24, 31)));
    // L start state 63 -> 127 (bit 38 of that word).
    EXPECT_FALSE(parseLzfseBlockHeaderV2(patched(28, good[28] | 0x40)));
    // First L frequency 24 -> 25: 65 L states.
    EXPECT_FALSE(parseLzfseBlockHeaderV2(patched(32, 0x1f)));
    // Wrong magic, and a block cut inside its fixed part.
    EXPECT_FALSE(parseLzfseBlockHeaderV2(patched(3, '1')));
    EXPECT_FALSE(parseLzfseBlockHeaderV2(std::span(good).first(31)));
    // Payloads longer than the input.
    EXPECT_FALSE(parseLzfseBlockHeaderV2(std::span(good).first(192 + 839 + 596 - 1)));
    EXPECT_TRUE(parseLzfseBlockHeaderV2(std::span(good).first(192 + 839 + 596)));
}

// The largest literal frequency of a real stream one less, its code length
// kept: the table then covers 1023 of 1024 states, and neither the header nor
// the stream is accepted. The untouched stream decodes.
TEST(LzfseBlockHeader, ATableOneStateShortIsRejected)
{
    const Bytes good = vector("text-4096");
    const auto parsed = parseLzfseBlockHeaderV2(good);
    ASSERT_TRUE(parsed);
    const LzfseBlockHeader& h = parsed->header;
    const auto codeLength = [](int f) { return f < 2 ? 2 : f < 4 ? 3 : f < 8 ? 5 : f < 24 ? 8 : 14; };
    std::size_t bit = 32 * 8;  // the frequency code follows the fixed 32 bytes
    for (int f : h.lFreq) bit += static_cast<std::size_t>(codeLength(f));
    for (int f : h.mFreq) bit += static_cast<std::size_t>(codeLength(f));
    for (int f : h.dFreq) bit += static_cast<std::size_t>(codeLength(f));
    const auto largest = std::max_element(h.literalFreq.begin(), h.literalFreq.end());
    ASSERT_GE(*largest, 25);
    for (auto it = h.literalFreq.begin(); it != largest; ++it) bit += static_cast<std::size_t>(codeLength(*it));
    // A 14-bit code carries the frequency minus 24 from its fifth bit on.
    Bytes shortTable = good;
    std::uint64_t window = 0;
    for (int i = 0; i < 8; ++i) window |= std::uint64_t{shortTable[bit / 8 + i]} << (8 * i);
    window -= std::uint64_t{1} << (bit % 8 + 4);
    for (int i = 0; i < 8; ++i) shortTable[bit / 8 + i] = static_cast<std::uint8_t>(window >> (8 * i));

    EXPECT_FALSE(parseLzfseBlockHeaderV2(shortTable));
    Bytes out(4096);
    EXPECT_EQ(lzfseDecode(shortTable, out).status, DecodeStatus::malformed);
    EXPECT_EQ(lzfseDecode(good, out).status, DecodeStatus::ok);
    EXPECT_EQ(lzfseDecode(good, out).written, 4096u);
}

TEST(LzfseBlockHeader, ParsingRejectsCorruptV1Headers)
{
    const Bytes good = vector("v1-text-4096");
    ASSERT_TRUE(parseLzfseBlockHeaderV1(good));
    const auto patched = [&](std::size_t at, std::uint32_t value, int width = 1) {
        Bytes b = good;
        for (int i = 0; i < width; ++i)
            b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(8, 1436, 4)));         // payload size is not the parts' sum
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(28, -8, 4)));          // literal final bits out of range
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(40, 1, 4)));           // L/M/D final bits out of range
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(34, 1024, 2)));        // second literal start state
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(48, 256, 2)));         // D start state
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(50, 25, 2)));          // 65 L states
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(16, 10001, 4)));       // too many triples
    EXPECT_FALSE(parseLzfseBlockHeaderV1(patched(12, 40004, 4)));       // too many literals
    EXPECT_TRUE(parseLzfseBlockHeaderV1(patched(28, 0, 4)));            // final bits 0 is a valid header
    EXPECT_FALSE(parseLzfseBlockHeaderV1(std::span(good).first(kLzfseV1HeaderBytes - 1)));
}

}  // namespace
}  // namespace kelvane::codec
