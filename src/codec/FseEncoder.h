// SPDX-License-Identifier: MIT
#pragma once

#include "codec/Fse.h"

#include <array>
#include <cstdint>
#include <span>

namespace kelvane::codec {

// Turns symbol counts into table frequencies that sum to exactly
// `stateCount`, keeping every used symbol at 1 or more and otherwise
// spending the states where they save the most bits. With no counts at all,
// symbol 0 takes every state (a table that is never read must still be whole).
void normalizeFseFrequencies(std::span<const std::uint32_t> counts, std::uint32_t stateCount,
                             std::span<std::uint16_t> freq);

// What coding `counts` with the table `freq` costs, in bits, ignoring the
// few bits the table layout adds: enough to tell early that a block will not fit.
double fseCodedBits(std::span<const std::uint32_t> counts, std::span<const std::uint16_t> freq, std::uint32_t stateCount);

// The encode side of one FSE table: the inverse of the decoder's transitions
// (spreadFseSymbols). Encoding runs backwards over the symbols: from the state
// the decoder is in after a symbol, `encode` gives the bits the decoder reads
// for it and the state it must be in before it.
class FseEncoder {
public:
    struct Step {
        std::uint32_t bits;   // what the decoder reads, `count` bits
        unsigned count;
    };

    // `freq` must sum to exactly `stateCount` (see normalizeFseFrequencies).
    void init(std::span<const std::uint16_t> freq, std::uint32_t stateCount);

    Step encode(std::uint32_t& state, unsigned symbol) const
    {
        const Entry& e = table_[symbol];
        const unsigned low = state < e.threshold ? 1u : 0u;
        const unsigned count = e.bits - low;
        const Step step{state & ((1u << count) - 1), count};
        state = (state >> count) + static_cast<std::uint32_t>(low ? e.lowDelta : e.highDelta);
        return step;
    }

private:
    // A symbol with frequency f owns states [first, first + f). Next states
    // from `threshold` up are reached from its first states with `bits` bits,
    // the ones below from its remaining states with one bit less.
    struct Entry {
        std::uint16_t threshold = 0;
        std::uint8_t bits = 0;
        std::int32_t highDelta = 0;
        std::int32_t lowDelta = 0;
    };
    std::array<Entry, kFseLiteralSymbols> table_{};
};

}  // namespace kelvane::codec
