// SPDX-License-Identifier: MIT
#pragma once

#include "codec/Fse.h"

#include <array>
#include <cstdint>
#include <span>

namespace kelvane::codec {

// What a symbol of frequency f is taken to cost when frequencies are chosen.
//
// In this format's tables a symbol owns a run of neighbouring states. Coding
// it from encoder state x (held between N and 2N, N the state count) writes
// k bits when x is at or above f * 2^k and k - 1 below, with
// N <= f * 2^k < 2N. `logarithmic`: log2(N / f), exact when the states are
// visited with a density falling as 1 / x. `evenStates`: k + 1 - f * 2^k / N,
// exact when every state is as likely; then a power of two costs exactly its
// logarithm and a frequency between two of them costs more, on the straight
// line between their costs.
//
// Which fits is measured, not chosen (the corpus in 64 KiB chunks, this
// encoder; bits the tables actually wrote against each estimate): literals
// (256 symbols, 1024 states) wrote 7,403,178 bytes, estimated 7,404,021 by
// `evenStates` and 7,368,276 by `logarithmic`, the states falling into eight
// equal bins at 12.4-12.6% each; distances (64 symbols, 256 states)
// 1,288,336 against 1,289,571 and 1,276,299. Literal lengths and match
// lengths (20 symbols, 64 states, one or two of them taking most of a block)
// visit the low states more often: 642,318 against 660,968 and 647,582;
// 855,389 against 859,027 and 847,917.
//
// Those two small tables have more to give, but not for the time: moving
// single states between their symbols while the bits actually written for
// the block fall saves 21 KB on the corpus (0.3619 -> 0.3613), at a sixth of
// the encoder's speed; among the three most frequent symbols only, once,
// 9 KB for 10% of it. What they win comes from where each symbol's run of
// states lies in the table, which no cost per symbol captures: a density
// falling faster than 1 / x (x^-1.5 to x^-4) chose worse tables than the
// logarithm. The states' own chain under independent symbols predicts the
// bits written within 2%, and climbing on it saves half as much (0.36162),
// at the same cost in time.
enum class FseCostModel { logarithmic, evenStates };

// Turns symbol counts into table frequencies that sum to exactly
// `stateCount`, keeping every used symbol at 1 or more and otherwise
// spending the states where they save the most bits under `model`. With no
// counts at all, symbol 0 takes every state (a table that is never read must
// still be whole).
void normalizeFseFrequencies(std::span<const std::uint32_t> counts, std::uint32_t stateCount,
                             std::span<std::uint16_t> freq, FseCostModel model = FseCostModel::logarithmic);

// What coding `counts` with the table `freq` costs, in bits, ignoring the
// few bits the table layout adds: enough to tell early that a block will not fit.
double fseCodedBits(std::span<const std::uint32_t> counts, std::span<const std::uint16_t> freq, std::uint32_t stateCount);

// The encode side of one FSE table: the inverse of the decoder's transitions
// (spreadFseSymbols). Encoding runs backwards over the symbols: from the state
// the decoder is in after a symbol, `encode` gives the bits the decoder reads
// for it and the state it must be in before it.
//
// The encoder holds a state s as s + stateCount (between stateCount and twice
// it): then the bits to write and the state before come from one formula for
// every state of a symbol, with no test of the state. Encoding starts from
// startState() and gives the decoder decoderState() of where it ends.
class FseEncoder {
public:
    struct Step {
        std::uint32_t bits;   // what the decoder reads, `count` bits
        unsigned count;
    };

    // `freq` must sum to exactly `stateCount` (see normalizeFseFrequencies).
    void init(std::span<const std::uint16_t> freq, std::uint32_t stateCount);

    std::uint32_t startState() const { return stateCount_; }
    std::uint32_t decoderState(std::uint32_t state) const { return state - stateCount_; }

    Step encode(std::uint32_t& state, unsigned symbol) const
    {
        const Entry e = table_[symbol];
        const unsigned count = (state + e.deltaBits) >> 16;
        const Step step{state & kLowBits[count], count};
        state = (state >> count) + e.deltaState;
        return step;
    }

private:
    // A symbol with frequency f owns states [first, first + f). Its first
    // states read `bits` bits and are reached from the next states at and
    // above a threshold, the others one bit less: adding `deltaBits` puts
    // the count in the high half. `deltaState` is first - f + stateCount.
    // Measured on the corpus chunks: the test of the threshold it replaces
    // was 16% of the encoder's simulated mispredictions.
    struct Entry {
        std::uint32_t deltaBits = 0;
        std::uint32_t deltaState = 0;
    };
    static constexpr std::array<std::uint32_t, 16> kLowBits = [] {
        std::array<std::uint32_t, 16> masks{};
        for (unsigned n = 0; n < masks.size(); ++n)
            masks[n] = (1u << n) - 1;
        return masks;
    }();
    std::array<Entry, kFseLiteralSymbols> table_{};
    std::uint32_t stateCount_ = 0;
};

}  // namespace kelvane::codec
