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
// Which fits is measured, not chosen: bits the tables actually wrote against
// each estimate, in docs/performance.md. No cost per symbol captures where a
// symbol's run of states lies, which is what the small tables have left to give.
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
