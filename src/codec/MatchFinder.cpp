// SPDX-License-Identifier: MIT
#include "codec/MatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kelvane::codec {

namespace {

std::uint32_t load32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint64_t load64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Length of the common run of `a` and `b` (a < b), stopping at `end`.
[[gnu::always_inline]] inline std::uint32_t commonLength(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* end)
{
    const std::uint8_t* start = b;
    while (end - b >= 8) {
        const std::uint64_t diff = load64(a) ^ load64(b);
        if (diff != 0) {
            const int same = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                        : std::countl_zero(diff);
            return static_cast<std::uint32_t>(b - start) + static_cast<std::uint32_t>(same >> 3);
        }
        a += 8;
        b += 8;
    }
    while (b < end && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<std::uint32_t>(b - start);
}

constexpr std::uint32_t kWordBytes = 4;  // hashing and the first compare read a word
constexpr std::uint32_t kShortMatch = 3;  // the short table's matches, checked as the low three bytes of a word
constexpr std::uint32_t kMaxHashBits = 17;
// After 2^kSkipShift literals in a row the search steps further each time.
constexpr unsigned kSkipShift = 8;
// Deeper into a run of literals than this, the positions stepped over are not
// entered in the tables either: random and precompressed chunks went from
// 200 to 400 MB/s, the corpus ratio moved by 0.0001.
constexpr std::uint32_t kSkipInsertAfter = 2048;
// An empty bucket: far enough below any position that every distance from it
// is out of reach.
constexpr std::int32_t kNoPosition = -(1 << 30);
constexpr std::uint64_t kMaxStoredPosition = std::uint64_t{1} << 30;
constexpr std::uint32_t kHashMultiplier = 2654435761u;
// The table of three-byte matches: 4,096 buckets, 16 KiB that stay in the
// first-level cache. Only the last 255 bytes matter, so few collide.
constexpr unsigned kShortHashBits = 12;

// Puts the position stored as `stored` at the head of its hash's chain.
[[gnu::always_inline]] inline void linkInto(std::int32_t* head, std::uint16_t* chain, std::uint32_t chainMask,
                                            std::uint32_t stored, std::uint32_t hash)
{
    const std::uint32_t back = stored - static_cast<std::uint32_t>(head[hash]);
    // A link too long for sixteen bits is cut to the longest that fits
    // rather than marked as the chain's end: in a 64 KiB input that falls
    // below every search's reach, so the walk needs no test of its own for
    // the end (1.6% fewer encoder instructions, same bytes out). In a longer
    // one the walk goes on among strangers, which the compares turn away.
    chain[stored & chainMask] = static_cast<std::uint16_t>(std::min<std::uint32_t>(back, 0xFFFF));
    head[hash] = static_cast<std::int32_t>(stored);
}
// The bytes of a word that must match.
template <unsigned MinMatch>
constexpr std::uint32_t kWordMask = MinMatch >= 4 ? 0xFFFFFFFFu : 0xFFFFFFu;

// The bucket of the word at `p` in a table of 2^(32 - shift) buckets.
template <unsigned MinMatch>
std::uint32_t hashWord(const std::uint8_t* p, std::uint32_t shift)
{
    return ((load32(p) & kWordMask<MinMatch>) * kHashMultiplier) >> shift;
}

}  // namespace

MatchFinder::MatchFinder(const Options& options) : options_(options) {}

void MatchFinder::reset(std::size_t size)
{
    // Twice as many buckets as positions: fewer strangers in each chain, and
    // fewer mispredictions (docs/performance.md).
    const unsigned hashBits =
        std::clamp<unsigned>(static_cast<unsigned>(std::bit_width(size)) + 1, 8, kMaxHashBits);
    // Positions are stored past everything the previous parses used, so their
    // entries fall below every search's reach and the tables need no clearing.
    const bool reuse = head_.size() == (std::size_t{1} << hashBits) &&
                       std::uint64_t{origin_} + used_ + size < kMaxStoredPosition;
    if (reuse) {
        origin_ += used_;
    } else {
        head_.assign(std::size_t{1} << hashBits, kNoPosition);
        if (options_.shortReach != 0)
            recent3_.assign(std::size_t{1} << kShortHashBits, kNoPosition);
        origin_ = 0;
    }
    used_ = static_cast<std::uint32_t>(size);
    hashShift_ = 32 - hashBits;
    const std::size_t window = std::min<std::size_t>(size, std::size_t{options_.maxDistance} + 1);
    const std::size_t chainSize = std::bit_ceil(std::max<std::size_t>(window, 1));
    if (chain_.size() < chainSize)
        chain_.resize(chainSize);
    chainMask_ = static_cast<std::uint32_t>(chain_.size() - 1);
    nextInsert_ = 0;
}

template <unsigned MinMatch>
void MatchFinder::insertUpTo(std::uint32_t pos)
{
    // The fields in locals, as in bestAt: the table stores might alias them.
    const std::uint8_t* const base = data_.data();
    std::int32_t* const head = head_.data();
    std::uint16_t* const chain = chain_.data();
    const std::uint32_t chainMask = chainMask_;
    const std::uint32_t shift = hashShift_;
    const std::uint32_t origin = origin_;
    for (std::uint32_t p = nextInsert_; p < pos; ++p) {
        linkInto(head, chain, chainMask, origin + p, hashWord<MinMatch>(base + p, shift));
    }
    nextInsert_ = std::max(nextInsert_, pos);
}

void MatchFinder::link(std::uint32_t pos, std::uint32_t hash)
{
    linkInto(head_.data(), chain_.data(), chainMask_, origin_ + pos, hash);
}

int MatchFinder::value(std::uint32_t length, std::uint32_t distance, bool repeat) const
{
    const LzCostModel& c = options_.costs;
    const int cost = repeat ? c.repeatMatch
                            : c.match + static_cast<int>(std::bit_width(distance)) * c.perDistanceBit;
    return static_cast<int>(length) * c.literal - cost;
}

template <unsigned MinMatch>
std::uint32_t MatchFinder::hashOf(const std::uint8_t* p) const
{
    return hashWord<MinMatch>(p, hashShift_);
}

// Inlined into its three calls: the call itself cost about 3% of the
// encoder's instructions (callgrind, corpus in 64 KiB chunks).
template <unsigned MinMatch>
[[gnu::always_inline]] inline void MatchFinder::bestAt(std::uint32_t pos, std::uint32_t repeatDistance,
                                                       std::uint32_t atLeast, std::uint32_t searchDepth, Candidate& best)
{
    const std::uint8_t* base = data_.data();
    const std::uint8_t* ip = base + pos;
    const std::uint8_t* end = base + data_.size();
    best = {};
    std::uint32_t longest = MinMatch - 1;
    // The bytes a repeat match is first checked for (two or three of the
    // word), then grown from; its length is tested against the option apart.
    const std::uint32_t minRepeat = options_.minRepeatMatch;
    const std::uint32_t repeatChecked = minRepeat >= 3 ? 3 : 2;
    const std::uint32_t repeatMask = minRepeat >= 3 ? 0xFFFFFFu : 0xFFFFu;

    const std::uint32_t here = load32(ip) & kWordMask<MinMatch>;
    // The next search or insertion is most often one byte on: fetching its
    // bucket now hides the miss that was the finder's costliest load
    // (about 3% of the encode time).
    if (end - ip > kWordBytes)
        __builtin_prefetch(&head_[hashOf<MinMatch>(ip + 1)]);
    if (repeatDistance != 0 && repeatDistance <= pos) {
        // Fewer equal bytes are enough: a repeat match codes no distance.
        const std::uint32_t there = load32(ip - repeatDistance);
        if (((here ^ there) & repeatMask) == 0) {
            const std::uint32_t len =
                repeatChecked + commonLength(ip - repeatDistance + repeatChecked, ip + repeatChecked, end);
            if (len >= minRepeat) {
                best = {len, repeatDistance, value(len, repeatDistance, true)};
                longest = std::max(longest, len);
            }
        }
    }

    if (nextInsert_ < pos)
        insertUpTo<MinMatch>(pos);
    const std::uint32_t h = hashOf<MinMatch>(ip);
    longest = std::max(longest, atLeast);
    // Members in locals: every store to the tables or to `best` might alias
    // them, and they were loaded again on every link.
    const std::uint32_t origin = origin_;
    const std::uint16_t* const chain = chain_.data();
    const std::uint32_t chainMask = chainMask_;
    const std::uint32_t maxDistance = options_.maxDistance;
    const auto lowest = static_cast<std::int32_t>(origin + (pos > maxDistance ? pos - maxDistance : 0));
    const auto here32 = static_cast<std::int32_t>(origin + pos);
    // A match this long needs no better one (or cannot grow further).
    const std::uint32_t enough = std::min(static_cast<std::uint32_t>(end - ip), options_.niceLength);
    std::int32_t cur = head_[h];
    // Where stored position 0 would be, as an address: one addition per link
    // finds a candidate (two fewer instructions than from the distance).
    const std::intptr_t origin0 = reinterpret_cast<std::intptr_t>(ip) - here32;
    // One loop for links and compares: the processor runs the chain loads
    // ahead of the compares by itself (alternatives in docs/performance.md).
    for (std::uint32_t depth = longest < enough ? searchDepth : 0; depth != 0 && cur >= lowest; --depth) {
        const auto* m = reinterpret_cast<const std::uint8_t*>(origin0 + cur);
        // The four bytes up to the one just past the longest match so far
        // rule out most candidates, and nearly every one they let through is
        // longer: the branch mispredicts less than the test of that one byte
        // did (simulated encoder mispredictions on the corpus 40.5M -> 36.4M,
        // 1% fewer instructions). With three-byte matches the byte alone:
        // the word would reach before the candidate.
        const bool tailMatches = MinMatch >= 4 ? load32(m + longest - 3) == load32(ip + longest - 3)
                                               : m[longest] == ip[longest];
        if (tailMatches && (load32(m) & kWordMask<MinMatch>) == here) {
            const std::uint32_t len = MinMatch + commonLength(m + MinMatch, ip + MinMatch, end);
            if (len > longest) {
                longest = len;
                const auto distance = static_cast<std::uint32_t>(here32 - cur);
                const int v = value(len, distance, distance == repeatDistance);
                if (v > best.value || best.length == 0)
                    best = {len, distance, v};
                // Tested here, where it changes, rather than on every link.
                if (longest >= enough)
                    break;
            }
        }
        const std::uint16_t back = chain[static_cast<std::uint32_t>(cur) & chainMask];
        cur -= back;
    }
    // No four-byte match: the last position with the same three bytes. Like
    // the chains' entries, those of earlier parses lie below every reach, so
    // a parse never depends on what came before it.
    if (MinMatch >= 4 && options_.shortReach != 0) {
        std::int32_t& slot = recent3_[hashWord<3>(ip, 32 - kShortHashBits)];
        const auto distance = static_cast<std::uint32_t>(here32 - slot);
        slot = here32;
        if (best.length < MinMatch && distance - 1u < options_.shortReach && distance <= pos) {
            const std::uint8_t* m = ip - distance;
            if (((load32(m) ^ here) & 0xFFFFFF) == 0) {
                const std::uint32_t len = kShortMatch + commonLength(m + kShortMatch, ip + kShortMatch, end);
                const int v = value(len, distance, distance == repeatDistance);
                if (len > atLeast && (best.length == 0 || v > best.value))
                    best = {len, distance, v};
            }
        }
    }
    link(pos, h);
    nextInsert_ = pos + 1;
}

void MatchFinder::parse(std::span<const std::uint8_t> data, LzParse& out)
{
    out.sequences.clear();
    out.trailingLiterals = 0;
    data_ = data;
    const std::uint32_t size = static_cast<std::uint32_t>(data.size());
    if (size < kWordBytes + 1) {
        out.trailingLiterals = size;
        return;
    }
    reset(size);
    // The match length is fixed per finder: compiled in, it spares a mask and
    // a test in the hashing and the chain walk.
    if (options_.minMatch >= 4)
        parseWith<4>(out);
    else
        parseWith<3>(out);
}

template <unsigned MinMatch>
void MatchFinder::parseWith(LzParse& out)
{
    const std::uint8_t* base = data_.data();
    const auto size = static_cast<std::uint32_t>(data_.size());
    const std::uint32_t lastStart = size - kWordBytes;
    const int literalValue = options_.costs.literal;
    std::uint32_t anchor = 0;
    std::uint32_t repeat = 0;
    std::uint32_t pos = 0;
    // Filled in place: returned by value they stalled on store forwarding,
    // the hottest spot of the whole encoder in a profile.
    Candidate cand, next;
    while (pos <= lastStart) {
        bestAt<MinMatch>(pos, repeat, 0, options_.searchDepth, cand);
        if (cand.length == 0 || cand.value <= 0) {
            // Long runs without a match mean data that does not compress:
            // search ever more sparsely there (random chunks went from 50 to
            // 200 MB/s; the corpus ratio moved by 0.0002).
            pos += 1 + ((pos - anchor) >> kSkipShift);
            if (pos - anchor > kSkipInsertAfter)
                nextInsert_ = std::max(nextInsert_, pos - 1);
            continue;
        }
        // Lazy evaluation: a better match one byte on is worth a literal.
        // Repeat matches are kept as they are: looking past them cost 3% of
        // the time and won nothing.
        while (cand.length < options_.lazyLength && cand.distance != repeat && pos < lastStart &&
               pos + cand.length < size) {
            // Only a match at least as long can be worth the literal (repeats
            // are checked apart): the byte-past-the-longest test then turns
            // most candidates away at once.
            const bool good = options_.goodLength != 0 && cand.length >= options_.goodLength;
            bestAt<MinMatch>(pos + 1, repeat, cand.length - 1, good ? options_.goodDepth : options_.searchDepth, next);
            if (next.length != 0 && next.value - literalValue > cand.value) {
                cand = next;
                ++pos;
                continue;
            }
            // Short matches are also weighed against one two bytes on.
            if (cand.length >= options_.lazyTwoLength || pos + 1 >= lastStart)
                break;
            bestAt<MinMatch>(pos + 2, repeat, cand.length, options_.searchDepth, next);
            if (next.length == 0 || next.value - 2 * literalValue <= cand.value)
                break;
            cand = next;
            pos += 2;
        }
        // Grow the match backwards over literals it also covers.
        while (pos > anchor && pos > cand.distance &&
               base[pos - 1] == base[pos - 1 - cand.distance]) {
            --pos;
            ++cand.length;
        }
        out.sequences.push_back({pos - anchor, cand.length, cand.distance});
        repeat = cand.distance;
        // The middle of a long match stays out of the tables: its bytes are
        // there already, at the match's source.
        const std::uint32_t skipFrom = options_.chartedEnds;
        if (skipFrom != 0 && cand.length > 2 * skipFrom) {
            insertUpTo<MinMatch>(pos + skipFrom);
            nextInsert_ = std::max(nextInsert_, pos + cand.length - skipFrom);
        }
        pos += cand.length;
        anchor = pos;
    }
    out.trailingLiterals = size - anchor;
}

}  // namespace kelvane::codec
