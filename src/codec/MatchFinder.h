// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::codec {

// One step of an LZ parse: `literalCount` bytes copied as they are, then
// `matchLength` bytes repeated from `distance` bytes back.
struct LzSequence {
    std::uint32_t literalCount = 0;
    std::uint32_t matchLength = 0;
    std::uint32_t distance = 0;

    bool operator==(const LzSequence&) const = default;
};

// What a parse costs in the target format, in 1/16 bit, so that the finder
// picks the matches that format pays least for.
struct LzCostModel {
    int literal = 6 * 16;      // one literal byte
    int match = 12 * 16;       // any match, besides its distance
    int repeatMatch = 6 * 16;  // a match at the previous distance (no distance coded)
    int perDistanceBit = 16;   // each significant bit of a new distance
};

struct LzParse {
    std::vector<LzSequence> sequences;
    std::uint32_t trailingLiterals = 0;  // bytes after the last match
};

// Lazy LZ parser over hash chains. Matches are at least `minMatch` bytes long
// (`minRepeatMatch` at the previous distance), never reach further back than
// `maxDistance`, and may run to the end of the input. A match at the previous
// distance is tried first at every position, since formats with a "repeat
// distance" code make it nearly free.
class MatchFinder {
public:
    struct Options {
        std::uint32_t maxDistance = 65535;
        std::uint32_t minMatch = 4;      // 3 or 4 bytes
        std::uint32_t minRepeatMatch = 3;  // 2 bytes or more, for matches at the previous distance
        std::uint32_t searchDepth = 16;  // chain links followed per position
        std::uint32_t niceLength = 128;  // a match this long ends the search
        std::uint32_t lazyLength = 32;   // a match this long is taken without looking one byte on
        std::uint32_t lazyTwoLength = 0; // a match shorter than this also looks two bytes on
        // With a match at least `goodLength` long in hand (0: never), the look
        // one byte on follows only `goodDepth` links: it seldom finds better.
        std::uint32_t goodLength = 0;
        std::uint32_t goodDepth = 2;
        // Inside a match longer than twice this (0: never), only the first and
        // the last `chartedEnds` positions enter the tables.
        std::uint32_t chartedEnds = 0;
        // With four-byte matches, three-byte ones up to this distance (0:
        // none) come from a table of their own, the last position of each
        // three bytes.
        std::uint32_t shortReach = 0;
        LzCostModel costs;
    };

    explicit MatchFinder(const Options& options);

    // Parses the whole of `data`. Deterministic; reuses its tables between
    // calls, so one finder per thread.
    void parse(std::span<const std::uint8_t> data, LzParse& out);

private:
    struct Candidate {
        std::uint32_t length = 0;
        std::uint32_t distance = 0;
        int value = 0;  // bits saved over coding the bytes as literals, in 1/16 bit
    };

    void reset(std::size_t size);
    template <unsigned MinMatch>
    void parseWith(LzParse& out);
    template <unsigned MinMatch>
    void insertUpTo(std::uint32_t pos);
    void link(std::uint32_t pos, std::uint32_t hash);
    template <unsigned MinMatch>
    std::uint32_t hashOf(const std::uint8_t* p) const;
    // Best match at `pos` within `depth` chain links; chain candidates must be
    // longer than `atLeast`.
    template <unsigned MinMatch>
    void bestAt(std::uint32_t pos, std::uint32_t repeatDistance, std::uint32_t atLeast, std::uint32_t depth,
                Candidate& best);
    int value(std::uint32_t length, std::uint32_t distance, bool repeat) const;

    Options options_;
    std::span<const std::uint8_t> data_;
    std::vector<std::int32_t> head_;
    // Per position, how far back the previous one with the same hash is,
    // at most 0xFFFF. Sixteen bits halve the table; links further back than
    // that are rare and seldom worth their distance.
    std::vector<std::uint16_t> chain_;
    std::vector<std::int32_t> recent3_;  // stored like head_'s
    std::uint32_t hashShift_ = 0;
    std::uint32_t chainMask_ = 0;
    std::uint32_t nextInsert_ = 0;
    std::uint32_t origin_ = 0;  // added to the positions of this parse in the tables
    std::uint32_t used_ = 0;
};

}  // namespace kelvane::codec
