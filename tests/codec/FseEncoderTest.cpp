// SPDX-License-Identifier: MIT
#include "codec/BitStream.h"
#include "codec/BitWriter.h"
#include "codec/FseEncoder.h"
#include "codec/EncoderInputs.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace kelvane::codec::test {
namespace {

// Skewed counts over `symbols` symbols, some of them unused.
std::vector<std::uint32_t> skewedCounts(std::size_t symbols, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> counts(symbols);
    for (auto& c : counts) {
        const std::uint32_t r = rng() % 10;
        c = r < 3 ? 0 : (rng() % 1000) >> (rng() % 10);
    }
    return counts;
}

TEST(FseEncoder, NormalizedTablesSumToTheStateCountAndKeepEveryUsedSymbol)
{
    // 256 symbols fill the normalizer's fixed scratch exactly; 300 take its
    // heap fallback (no table of the format is that wide).
    const std::pair<std::size_t, std::uint32_t> shapes[] = {{20, 64}, {64, 256}, {256, 1024}, {300, 1024}};
    for (const FseCostModel model : {FseCostModel::logarithmic, FseCostModel::evenStates})
    for (const auto& [symbols, states] : shapes) {
        for (std::uint32_t seed = 0; seed < 200; ++seed) {
            std::vector<std::uint32_t> counts = skewedCounts(symbols, seed);
            if (seed % 7 == 0)
                counts.assign(symbols, 1);  // every symbol once
            if (seed % 11 == 0) {
                counts.assign(symbols, 0);  // one dominant symbol among rare ones
                counts[seed % symbols] = 1000000;
                counts[(seed + 1) % symbols] = 1;
            }
            if (seed % 13 == 0)
                counts.assign(std::min<std::size_t>(symbols, states), 1);  // every state taken by one symbol
            std::vector<std::uint16_t> freq(symbols, 0xFFFF);
            normalizeFseFrequencies(counts, states, freq, model);
            EXPECT_EQ(std::accumulate(freq.begin(), freq.end(), 0u), states) << symbols << " seed " << seed;
            for (std::size_t s = 0; s < symbols; ++s)
                EXPECT_EQ(freq[s] != 0, counts[s] != 0) << symbols << " seed " << seed << " symbol " << s;
        }
        // Nothing to code still gives a whole table; one symbol takes it all.
        std::vector<std::uint16_t> freq(symbols);
        normalizeFseFrequencies(std::vector<std::uint32_t>(symbols, 0), states, freq, model);
        EXPECT_EQ(freq[0], states);
        std::vector<std::uint32_t> one(symbols, 0);
        one[symbols - 1] = 5;
        normalizeFseFrequencies(one, states, freq, model);
        EXPECT_EQ(freq[symbols - 1], states);
    }
}

TEST(FseEncoder, NormalizationSpendsStatesWhereTheyPay)
{
    // 3:1 over 64 states is exactly 48:16; a tiny third symbol takes one state
    // from the larger one, where losing it costs least.
    std::vector<std::uint16_t> freq(3);
    normalizeFseFrequencies(std::vector<std::uint32_t>{300, 100, 0}, 64, freq);
    EXPECT_EQ(freq, (std::vector<std::uint16_t>{48, 16, 0}));
    normalizeFseFrequencies(std::vector<std::uint32_t>{300, 100, 1}, 64, freq);
    EXPECT_EQ(freq, (std::vector<std::uint16_t>{47, 16, 1}));
    // The coded size stays within a fraction of a percent of the entropy.
    const std::vector<std::uint32_t> counts = skewedCounts(256, 77);
    std::vector<std::uint16_t> lit(256);
    normalizeFseFrequencies(counts, 1024, lit);
    double entropy = 0, total = std::accumulate(counts.begin(), counts.end(), 0.0);
    for (auto c : counts)
        if (c)
            entropy += c * std::log2(total / c);
    EXPECT_LT(fseCodedBits(counts, lit, 1024), entropy * 1.01);
}

// Encodes `symbols` backwards, then decodes them forwards with the decoder's
// own transitions: the encoder must be their exact inverse.
void expectRoundTrip(const std::vector<std::uint16_t>& freq, std::uint32_t states, const std::vector<std::uint8_t>& symbols)
{
    FseEncoder encoder;
    encoder.init(freq, states);
    Bytes buffer(symbols.size() * 2 + 16);
    BitWriter out(buffer.data(), buffer.data() + buffer.size());
    std::uint32_t state = encoder.startState();
    for (std::size_t i = symbols.size(); i-- != 0;) {
        const FseEncoder::Step step = encoder.encode(state, symbols[i]);
        ASSERT_LE(step.bits >> step.count, 0u);
        out.push(step.bits, step.count);
        out.flush();
    }
    const int finalBits = out.finish();
    ASSERT_FALSE(out.overflowed());
    state = encoder.decoderState(state);
    ASSERT_LT(state, states);

    std::vector<FseTransition> table(states);
    ASSERT_TRUE(spreadFseSymbols(freq, table));
    Bytes padded(8, 0);  // room for the reader's first load
    padded.insert(padded.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(out.size()));
    BackwardBitReader in;
    ASSERT_TRUE(in.init(padded.data(), padded.data() + padded.size(), finalBits));
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        ASSERT_TRUE(in.refill());
        const FseTransition t = table[state];
        ASSERT_EQ(t.symbol, symbols[i]) << "symbol " << i;
        state = static_cast<std::uint32_t>(t.delta + static_cast<int>(in.pull(t.bits)));
    }
    EXPECT_EQ(in.bitsHeld() + static_cast<unsigned>(8 * (in.position() - padded.data())), 64u) << "every bit used";
}

TEST(FseEncoder, EncodingIsTheExactInverseOfTheDecoderTables)
{
    std::mt19937 rng(2024);
    const std::pair<std::size_t, std::uint32_t> shapes[] = {{20, 64}, {64, 256}, {256, 1024}};
    for (const auto& [alphabet, states] : shapes) {
        for (int round = 0; round < 20; ++round) {
            std::vector<std::uint32_t> counts = skewedCounts(alphabet, static_cast<std::uint32_t>(round * 31 + alphabet));
            counts[0] += 1;
            std::vector<std::uint16_t> freq(alphabet);
            normalizeFseFrequencies(counts, states, freq);
            // Symbols drawn from the used ones, in proportion to their counts.
            std::discrete_distribution<int> pick(counts.begin(), counts.end());
            std::vector<std::uint8_t> symbols(3000);
            for (auto& s : symbols)
                s = static_cast<std::uint8_t>(pick(rng));
            expectRoundTrip(freq, states, symbols);
        }
        // A single symbol owning every state costs no bits at all.
        std::vector<std::uint16_t> whole(alphabet, 0);
        whole[3] = static_cast<std::uint16_t>(states);
        expectRoundTrip(whole, states, std::vector<std::uint8_t>(100, 3));
        // Every frequency 1 where possible, the rest on the last symbol.
        std::vector<std::uint16_t> flat(alphabet, 1);
        flat[alphabet - 1] = static_cast<std::uint16_t>(states - (alphabet - 1));
        std::vector<std::uint8_t> all;
        for (std::size_t s = 0; s < alphabet; ++s)
            all.push_back(static_cast<std::uint8_t>(s));
        expectRoundTrip(flat, states, all);
    }
}

// The bits the encoder writes for `symbols` with the table `freq`.
std::uint64_t codedBits(const std::vector<std::uint16_t>& freq, std::uint32_t states, const std::vector<std::uint8_t>& symbols)
{
    FseEncoder encoder;
    encoder.init(freq, states);
    std::uint32_t state = encoder.startState();
    std::uint64_t bits = 0;
    for (std::size_t i = symbols.size(); i-- != 0;)
        bits += encoder.encode(state, symbols[i]).count;
    return bits;
}

TEST(FseEncoder, EvenStateTablesWriteFewerBitsForWideAlphabets)
{
    // Bytes as literals come, drawn independently: the states of a 1,024-state
    // table are then visited evenly, and tables chosen for that write fewer
    // bits than tables chosen by the logarithm, by a few tenths of a percent.
    // A table that got it wrong the other way round, or spent a state badly,
    // loses that at once.
    std::mt19937 rng(5);
    for (int round = 0; round < 4; ++round) {
        std::vector<std::uint32_t> weights = skewedCounts(256, static_cast<std::uint32_t>(round + 100));
        weights['e'] += 4000;
        std::discrete_distribution<int> pick(weights.begin(), weights.end());
        std::vector<std::uint8_t> symbols(60000);
        std::vector<std::uint32_t> counts(256, 0);
        for (auto& s : symbols)
            ++counts[s = static_cast<std::uint8_t>(pick(rng))];
        std::vector<std::uint16_t> logarithmic(256), even(256);
        normalizeFseFrequencies(counts, 1024, logarithmic, FseCostModel::logarithmic);
        normalizeFseFrequencies(counts, 1024, even, FseCostModel::evenStates);
        const std::uint64_t logBits = codedBits(logarithmic, 1024, symbols), evenBits = codedBits(even, 1024, symbols);
        EXPECT_LT(evenBits, logBits) << "round " << round;
        EXPECT_GT(evenBits, logBits * 99 / 100) << "round " << round;  // a fraction of a percent, not more
        expectRoundTrip(even, 1024, std::vector<std::uint8_t>(symbols.begin(), symbols.begin() + 3000));
    }
}

TEST(BitWriter, StopsAtTheEndOfItsBufferAndSaysSo)
{
    Bytes buffer(12, 0xCC);
    BitWriter out(buffer.data(), buffer.data() + 10);
    for (int i = 0; i < 20; ++i) {
        out.push(0x155, 9);
        out.flush();
    }
    out.finish();
    EXPECT_TRUE(out.overflowed());
    EXPECT_EQ(buffer[10], 0xCC);
    EXPECT_EQ(buffer[11], 0xCC);

    // Bits fill bytes from the low end; the last byte's unused bits are zero.
    Bytes small(4, 0xFF);
    BitWriter w(small.data(), small.data() + small.size());
    w.push(0x5, 3);
    w.push(0x3FF, 10);
    EXPECT_EQ(w.finish(), -3);
    EXPECT_FALSE(w.overflowed());
    EXPECT_EQ(w.size(), 2u);
    EXPECT_EQ(small[0], 0xFD);  // 101 then five ones
    EXPECT_EQ(small[1], 0x1F);  // five ones, three zero pad bits
}

}  // namespace
}  // namespace kelvane::codec::test
