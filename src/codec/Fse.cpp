// SPDX-License-Identifier: MIT
#include "codec/Fse.h"

#include <algorithm>
#include <array>
#include <bit>

namespace kelvane::codec {

namespace {

// Lays the states out per symbol (see spreadFseSymbols) and writes each
// through `make(symbol, bits, delta)`, straight into the caller's table.
template <typename Entry, typename Make>
bool spreadStates(std::span<const std::uint16_t> freq, std::span<Entry> states, Make make)
{
    const auto stateCount = static_cast<std::uint32_t>(states.size());
    const int stateZeros = std::countl_zero(stateCount);
    std::uint32_t next = 0;
    for (std::size_t symbol = 0; symbol < freq.size(); ++symbol) {
        const std::uint32_t f = freq[symbol];
        if (f == 0)
            continue;
        if (f > stateCount - next)
            return false;
        const int k = std::countl_zero(f) - stateZeros;  // stateCount <= f << k < 2 * stateCount
        const std::uint32_t j0 = ((2 * stateCount) >> k) - f;
        // The first j0 states read k bits, the rest k - 1; with b bits, state
        // j moves to ((f + j) << b) - stateCount in both cases. One loop with
        // no test inside: every block lays its tables out anew, and the two
        // loops this replaces mispredicted at each of their ends.
        Entry* const first = states.data() + next;
        const auto s = static_cast<unsigned>(symbol);
        for (std::uint32_t j = 0; j < f; ++j) {
            const unsigned b = static_cast<unsigned>(k) - (j >= j0 ? 1u : 0u);
            first[j] = make(s, b, static_cast<std::int32_t>((f + j) << b) - static_cast<std::int32_t>(stateCount));
        }
        next += f;
    }
    std::fill(states.begin() + next, states.end(), make(0, 0, 0));
    return true;
}

}  // namespace

bool spreadFseSymbols(std::span<const std::uint16_t> freq, std::span<FseTransition> states)
{
    return spreadStates(freq, states, [](unsigned symbol, unsigned bits, std::int32_t delta) {
        return FseTransition{static_cast<std::uint8_t>(symbol), static_cast<std::uint8_t>(bits),
                             static_cast<std::int16_t>(delta)};
    });
}

bool buildFseDecodeTable(std::span<const std::uint16_t> freq, std::span<FseDecodeEntry> table)
{
    return spreadStates(freq, table, [](unsigned symbol, unsigned bits, std::int32_t delta) {
        return FseDecodeEntry{static_cast<std::int16_t>(delta), static_cast<std::uint8_t>(symbol),
                              static_cast<std::uint8_t>(bits), (1u << bits) - 1};
    });
}

bool buildFseValueDecodeTable(std::span<const std::uint16_t> freq, std::span<const std::uint8_t> extraBits,
                              std::span<const std::uint32_t> baseValues, std::span<FseValueDecodeEntry> table)
{
    // Written in place rather than converted from a spread table: every block
    // builds three of these.
    return spreadStates(freq, table, [&](unsigned symbol, unsigned bits, std::int32_t delta) {
        FseValueDecodeEntry e;
        e.valueBits = extraBits[symbol];
        e.totalBits = static_cast<std::uint8_t>(bits + e.valueBits);
        e.delta = static_cast<std::int16_t>(delta);
        e.base = baseValues[symbol];
        e.totalMask = (1u << e.totalBits) - 1;
        e.valueMask = (1u << e.valueBits) - 1;
        return e;
    });
}

}  // namespace kelvane::codec
