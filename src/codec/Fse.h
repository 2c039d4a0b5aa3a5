// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>

namespace kelvane::codec {

// Finite-state entropy coding as LZFSE blocks use it: four streams (literal
// lengths L, match lengths M, distances D, literal bytes), each with its own
// alphabet and a power-of-two number of states. A table is described by one
// frequency per symbol; frequencies may sum to less than the state count.

inline constexpr int kFseLSymbols = 20;
inline constexpr int kFseMSymbols = 20;
inline constexpr int kFseDSymbols = 64;
inline constexpr int kFseLiteralSymbols = 256;

inline constexpr int kFseLStates = 64;
inline constexpr int kFseMStates = 64;
inline constexpr int kFseDStates = 256;
inline constexpr int kFseLiteralStates = 1024;

inline constexpr int kFseMaxStates = 1024;

// One state of a table. Decoding in this state yields `symbol`, then reads
// `bits` bits b from the stream and moves to state `delta + b`. The encoder
// runs the same relation in reverse: from the next state it picks the state
// of the symbol whose range [delta, delta + 2^bits) holds it.
struct FseTransition {
    std::uint8_t symbol = 0;
    std::uint8_t bits = 0;
    std::int16_t delta = 0;
};

// Lays the symbols over the states: symbol 0 takes the first freq[0] states,
// symbol 1 the next freq[1], and so on. A symbol with frequency f gets
// k = log2(states / f) rounded up; its first j0 = 2*states/2^k - f states
// read k bits, the rest k - 1, so that together they cover every state once.
// States beyond the frequency sum (a short table) decode as symbol 0 into
// state 0. `states.size()` must be a power of two up to kFseMaxStates and
// `freq.size()` at most 256. Returns false when the frequencies sum to more
// than the state count; `states` is then unspecified.
bool spreadFseSymbols(std::span<const std::uint16_t> freq, std::span<FseTransition> states);

// Decode table entry of the literal stream: a transition with the mask of its
// bits, so that a pull is a shift and an and (the mask computed per literal
// cost two more instructions on the decoder's busiest path).
struct FseDecodeEntry {
    std::int16_t delta = 0;
    std::uint8_t symbol = 0;
    std::uint8_t bits = 0;
    std::uint32_t mask = 0;  // (1 << bits) - 1
};

bool buildFseDecodeTable(std::span<const std::uint16_t> freq, std::span<FseDecodeEntry> table);

// Decode table entry of an L, M or D stream. The state bits and the symbol's
// extra value bits are read together in one pull of `totalBits`: the high
// part moves the state, the low `valueBits` are added to `base`. The masks
// of both are kept beside them, as in FseDecodeEntry.
struct FseValueDecodeEntry {
    std::uint32_t base = 0;
    std::int16_t delta = 0;
    std::uint8_t totalBits = 0;
    std::uint8_t valueBits = 0;
    std::uint32_t totalMask = 0;
    std::uint32_t valueMask = 0;
};

// Builds a value decode table from the frequencies and, per symbol, the count
// of extra bits and the base value. Returns false when the frequencies sum to
// more than `table.size()`.
bool buildFseValueDecodeTable(std::span<const std::uint16_t> freq, std::span<const std::uint8_t> extraBits,
                              std::span<const std::uint32_t> baseValues, std::span<FseValueDecodeEntry> table);

}  // namespace kelvane::codec
