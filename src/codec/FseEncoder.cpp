// SPDX-License-Identifier: MIT
#include "codec/FseEncoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace kelvane::codec {

namespace {

// log2(i) for every frequency and count of one table (and one past it).
const std::array<double, kFseMaxStates + 2>& log2Table()
{
    static const auto table = [] {
        std::array<double, kFseMaxStates + 2> t{};
        for (std::size_t i = 1; i < t.size(); ++i)
            t[i] = std::log2(static_cast<double>(i));
        return t;
    }();
    return table;
}

// Frequencies under FseCostModel::evenStates. Each state a symbol gains
// between f and 2f (f a power of two) saves it 1/f bits per occurrence, so
// the states go out an octave at a time, first to the octave that saves the
// most bits per state, until none are left; the last may get part of its
// octave.
//
// Every used symbol starts with its share of the states rounded down to a
// power of two (or one state), which leaves few octaves to hand out: from
// one state each the same tables took 2% of the encoder's instructions,
// from here 0.5%. Where those starts overrun the table (many rare symbols at
// one state each), the start is the power of two at or below
// count * (N - used) / (2 * total), N the state count: at most half the
// states beyond one per symbol, and never more than the symbol ends with.
// (At the end every octave saving more than some s bits per state is out
// and none saving less, so a symbol ends with at least count / s states,
// and the N states add up to at most used + 2 * total / s.) The first start
// can exceed the best table by an octave; on the corpus it gave the same
// ratio to five places.
void normalizeForEvenStates(std::span<const std::uint32_t> counts, std::uint64_t total, std::size_t used,
                            std::uint32_t stateCount, std::span<std::uint16_t> freq)
{
    struct Claim {
        std::uint32_t count;
        std::uint32_t f;
        std::uint32_t symbol;
    };
    // Saves less per state (count / f); of two that save the same, the later symbol.
    const auto savesLess = [](const Claim& a, const Claim& b) {
        const std::uint64_t left = std::uint64_t{a.count} * b.f, right = std::uint64_t{b.count} * a.f;
        return left != right ? left < right : a.symbol > b.symbol;
    };
    std::array<Claim, kFseLiteralSymbols> local;
    std::vector<Claim> wide;
    if (counts.size() > local.size())
        wide.resize(counts.size());
    Claim* const claims = counts.size() > local.size() ? wide.data() : local.data();
    const auto start = [&](std::uint64_t spare, std::uint64_t share) {
        std::uint64_t sum = 0;
        std::size_t claimed = 0;
        for (std::size_t i = 0; i < counts.size(); ++i) {
            if (counts[i] == 0)
                continue;
            const auto f = static_cast<std::uint32_t>(
                std::max<std::uint64_t>(std::bit_floor(std::uint64_t{counts[i]} * spare / share), 1));
            claims[claimed++] = {counts[i], f, static_cast<std::uint32_t>(i)};
            sum += f;
        }
        return sum;
    };
    std::uint64_t sum = start(stateCount, total);
    if (sum > stateCount)
        sum = start(stateCount - used, 2 * total);
    std::uint32_t left = stateCount - static_cast<std::uint32_t>(sum);
    std::make_heap(claims, claims + used, savesLess);
    while (left > 0) {
        std::pop_heap(claims, claims + used, savesLess);
        Claim& best = claims[used - 1];
        const std::uint32_t take = std::min(best.f, left);
        best.f += take;
        left -= take;
        std::push_heap(claims, claims + used, savesLess);
    }
    for (std::size_t i = 0; i < used; ++i)
        freq[claims[i].symbol] = static_cast<std::uint16_t>(claims[i].f);
}

}  // namespace

double fseCodedBits(std::span<const std::uint32_t> counts, std::span<const std::uint16_t> freq, std::uint32_t stateCount)
{
    const auto& lg = log2Table();
    double bits = 0;
    for (std::size_t i = 0; i < counts.size(); ++i)
        if (counts[i] != 0)
            bits += counts[i] * (lg[stateCount] - lg[freq[i]]);
    return bits;
}

void normalizeFseFrequencies(std::span<const std::uint32_t> counts, std::uint32_t stateCount,
                             std::span<std::uint16_t> freq, FseCostModel model)
{
    const std::size_t n = counts.size();
    std::uint64_t total = 0;
    std::size_t used = 0;
    for (std::uint32_t c : counts) {
        total += c;
        used += c != 0 ? 1 : 0;
    }
    std::fill(freq.begin(), freq.end(), 0);
    if (total == 0) {
        freq[0] = static_cast<std::uint16_t>(stateCount);
        return;
    }
    if (model == FseCostModel::evenStates && used <= stateCount)
        return normalizeForEvenStates(counts, total, used, stateCount, freq);

    std::int64_t assigned = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (counts[i] == 0)
            continue;
        const std::uint64_t scaled = (std::uint64_t{counts[i]} * stateCount + total / 2) / total;
        freq[i] = static_cast<std::uint16_t>(std::max<std::uint64_t>(scaled, 1));
        assigned += freq[i];
    }

    // Rounding leaves the sum a little off; move single states to or from the
    // symbols where the coded size (count * log2(1 / probability)) changes
    // least. Greedy steps are exact here since each symbol's cost is convex.
    const auto& lg = log2Table();
    auto gainUp = [&](std::size_t i) { return counts[i] * (lg[freq[i] + 1] - lg[freq[i]]); };
    auto lossDown = [&](std::size_t i) { return counts[i] * (lg[freq[i]] - lg[freq[i] - 1]); };
    // On the stack for every table the format has: otherwise four heap
    // allocations per block, shared by every encoding thread's allocator.
    std::array<double, kFseLiteralSymbols> local;
    std::vector<double> wide;
    if (n > local.size())
        wide.resize(n);
    const std::span<double> delta = n > local.size() ? std::span<double>(wide) : std::span(local).first(n);
    if (assigned < stateCount) {
        for (std::size_t i = 0; i < n; ++i)
            delta[i] = counts[i] ? gainUp(i) : -1.0;
        for (; assigned < stateCount; ++assigned) {
            const std::size_t best = static_cast<std::size_t>(std::max_element(delta.begin(), delta.end()) - delta.begin());
            ++freq[best];
            delta[best] = gainUp(best);
        }
    } else if (assigned > stateCount) {
        const double never = HUGE_VAL;
        for (std::size_t i = 0; i < n; ++i)
            delta[i] = freq[i] > 1 ? lossDown(i) : never;
        for (; assigned > stateCount; --assigned) {
            const std::size_t best = static_cast<std::size_t>(std::min_element(delta.begin(), delta.end()) - delta.begin());
            --freq[best];
            delta[best] = freq[best] > 1 ? lossDown(best) : never;
        }
    }
}

void FseEncoder::init(std::span<const std::uint16_t> freq, std::uint32_t stateCount)
{
    // The decoder's layout (spreadFseSymbols) in closed form: a symbol with
    // frequency f owns the next f states; its first ones read k bits, with
    // stateCount <= f << k < 2 * stateCount, and come from next states at and
    // above (f << k) - stateCount. Laying out the states themselves cost 0.6%
    // of the encoder's instructions.
    const int stateZeros = std::countl_zero(stateCount);
    stateCount_ = stateCount;
    std::uint32_t first = 0;
    for (std::size_t symbol = 0; symbol < freq.size(); ++symbol) {
        const std::uint32_t f = freq[symbol];
        if (f == 0) {
            table_[symbol] = {};
            continue;
        }
        const auto k = static_cast<std::uint32_t>(std::countl_zero(f) - stateZeros);
        const std::uint32_t threshold = (f << k) - stateCount;
        Entry& e = table_[symbol];
        e.deltaBits = (k << 16) - (threshold + stateCount);
        e.deltaState = first - f + stateCount;
        first += f;
    }
}

}  // namespace kelvane::codec
