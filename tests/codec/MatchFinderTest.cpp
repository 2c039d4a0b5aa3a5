// SPDX-License-Identifier: MIT
#include "codec/MatchFinder.h"
#include "codec/EncoderInputs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kelvane::codec::test {
namespace {

// Replays a parse; fails the test on any match that reaches before the start,
// beyond `maxDistance`, or is shorter than the finder promises.
Bytes replay(const Bytes& src, const LzParse& parse, std::uint32_t maxDistance, std::uint32_t minMatch = 4,
             std::uint32_t minRepeat = 3)
{
    Bytes out;
    std::size_t at = 0;
    std::uint32_t previous = 0;
    for (const LzSequence& s : parse.sequences) {
        out.insert(out.end(), src.begin() + static_cast<std::ptrdiff_t>(at),
                   src.begin() + static_cast<std::ptrdiff_t>(at + s.literalCount));
        at += s.literalCount;
        EXPECT_GE(s.distance, 1u);
        EXPECT_LE(s.distance, maxDistance);
        EXPECT_GE(s.matchLength, s.distance == previous ? minRepeat : minMatch);
        if (s.distance == 0 || s.distance > out.size())
            return {};
        for (std::uint32_t i = 0; i < s.matchLength; ++i)
            out.push_back(out[out.size() - s.distance]);
        at += s.matchLength;
        previous = s.distance;
    }
    out.insert(out.end(), src.begin() + static_cast<std::ptrdiff_t>(at),
               src.begin() + static_cast<std::ptrdiff_t>(at + parse.trailingLiterals));
    return out;
}

// The finder's default options but for how far back a match may reach.
MatchFinder::Options reaching(std::uint32_t maxDistance)
{
    MatchFinder::Options options;
    options.maxDistance = maxDistance;
    return options;
}

// Parses each input with `finder` (one finder for all: nothing may leak
// between parses) and expects every parse to replay to its input.
void expectEachReplays(MatchFinder& finder, const std::vector<Bytes>& inputs, std::uint32_t maxDistance,
                       std::uint32_t minMatch = 4, std::uint32_t minRepeat = 3)
{
    LzParse parse;
    for (const Bytes& src : inputs) {
        finder.parse(src, parse);
        EXPECT_EQ(replay(src, parse, maxDistance, minMatch, minRepeat), src) << src.size();
    }
}

TEST(MatchFinder, ParsesReplayToTheInputWithinTheDistanceLimit)
{
    const MatchFinder::Options options = reaching(5000);
    MatchFinder finder(options);
    const Bytes block = randomBytes(300, 1);
    const std::vector<Bytes> inputs = {
        {}, {1}, Bytes(4, 7), Bytes(5, 7), Bytes(100000, 0), text(70000),
        concat({block, randomBytes(4700, 2), block}),   // repeat inside the limit
        concat({block, randomBytes(5200, 3), block}),   // and just beyond it
        randomBytes(50000, 4), randomBytes(50000, 5, 4), corpusFile("sqlite-db.bin"),
    };
    expectEachReplays(finder, inputs, options.maxDistance);
    // Three-byte matches when asked for, and only then.
    MatchFinder::Options three = options;
    three.minMatch = 3;
    three.costs.match = 4 * 16;  // cheap enough for three bytes to pay
    MatchFinder shortFinder(three);
    const Bytes triplets = concat({Bytes{'x', 'y', 'z'}, randomBytes(40, 8), Bytes{'x', 'y', 'z'}, randomBytes(40, 9)});
    LzParse parse;
    shortFinder.parse(triplets, parse);
    EXPECT_EQ(replay(triplets, parse, three.maxDistance, 3), triplets);
    ASSERT_EQ(parse.sequences.size(), 1u);
    EXPECT_EQ(parse.sequences[0].matchLength, 3u);
    EXPECT_EQ(parse.sequences[0].distance, 43u);
    finder.parse(triplets, parse);
    EXPECT_TRUE(parse.sequences.empty());
    expectEachReplays(shortFinder, inputs, three.maxDistance, 3);

    // Repeats found as single long matches, and none beyond the limit.
    finder.parse(inputs[6], parse);
    ASSERT_EQ(parse.sequences.size(), 1u);
    EXPECT_EQ(parse.sequences[0].distance, 5000u);
    EXPECT_EQ(parse.sequences[0].matchLength, 300u);
    finder.parse(inputs[7], parse);
    EXPECT_TRUE(parse.sequences.empty());
    finder.parse(inputs[4], parse);
    ASSERT_EQ(parse.sequences.size(), 1u);
    EXPECT_EQ(parse.sequences[0].distance, 1u);
    EXPECT_EQ(parse.sequences[0].matchLength, 99999u);
}

TEST(MatchFinder, FindsThreeByteMatchesNearbyBesideTheFourByteChains)
{
    MatchFinder::Options options;
    options.shortReach = 255;
    // Cheap enough for three bytes to pay even 303 back: only the reach stops them.
    options.costs.match = 4 * 16;
    MatchFinder finder(options);
    MatchFinder::Options fourOnly = options;
    fourOnly.shortReach = 0;
    MatchFinder without(fourOnly);
    LzParse parse;
    const Bytes xyz = {'x', 'y', 'z'};

    // Three bytes again 43 on: a match with them, none without.
    const Bytes near = concat({xyz, randomBytes(40, 401), xyz, randomBytes(40, 402)});
    finder.parse(near, parse);
    EXPECT_EQ(replay(near, parse, options.maxDistance, 3), near);
    ASSERT_EQ(parse.sequences.size(), 1u);
    EXPECT_EQ(parse.sequences[0], (LzSequence{43, 3, 43}));
    without.parse(near, parse);
    EXPECT_TRUE(parse.sequences.empty());

    // 303 on they are out of reach.
    const Bytes far = concat({xyz, randomBytes(300, 403), xyz, randomBytes(40, 404)});
    finder.parse(far, parse);
    EXPECT_TRUE(parse.sequences.empty());

    // A longer match further back wins over three bytes nearby.
    const Bytes key = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    const Bytes both = concat({key, randomBytes(100, 405), Bytes{'a', 'b', 'c', 'Q'}, randomBytes(20, 406), key,
                               randomBytes(40, 407)});
    finder.parse(both, parse);
    EXPECT_EQ(replay(both, parse, options.maxDistance, 3), both);
    const auto longMatch = std::find_if(parse.sequences.begin(), parse.sequences.end(),
                                        [](const LzSequence& s) { return s.matchLength >= 8; });
    ASSERT_NE(longMatch, parse.sequences.end());
    EXPECT_EQ(longMatch->distance, 132u);

    // One finder over inputs longer than sixteen bits of position and with
    // the table full of the previous parse's positions: every parse replays,
    // is the one a new finder makes, and keeps its three-byte matches within
    // reach.
    const std::vector<Bytes> inputs = {
        text(200000), corpusFile("sqlite-db.bin"), near, randomBytes(70000, 408, 4), text(5000),
        concat({randomBytes(70000, 409, 8), far}),
    };
    expectEachReplays(finder, inputs, options.maxDistance, 3);
    LzParse fresh;
    for (const Bytes& src : inputs) {
        finder.parse(src, parse);
        // The same parse as a new finder's: nothing of the inputs before.
        MatchFinder(options).parse(src, fresh);
        EXPECT_EQ(parse.sequences, fresh.sequences) << src.size();
        std::uint32_t previous = 0;
        for (const LzSequence& s : parse.sequences) {
            if (s.matchLength < 4 && s.distance != previous) {
                EXPECT_LE(s.distance, 255u) << src.size();
            }
            previous = s.distance;
        }
    }
}

TEST(MatchFinder, PrefersThePreviousDistanceAndLooksOneByteAhead)
{
    MatchFinder finder(MatchFinder::Options{});
    LzParse parse;
    // "abcdXabcdYabcdZ...": after the first match, each next one is at the
    // previous distance again and needs no distance of its own.
    Bytes src;
    for (int i = 0; i < 40; ++i) {
        const Bytes piece = {'a', 'b', 'c', 'd', 'e', static_cast<std::uint8_t>('0' + i % 10)};
        src.insert(src.end(), piece.begin(), piece.end());
    }
    finder.parse(src, parse);
    ASSERT_GE(parse.sequences.size(), 2u);
    for (const LzSequence& s : parse.sequences)
        EXPECT_TRUE(s.distance == 6 || s.distance == 60) << s.distance;

    // A 4-byte match at position p loses to a much longer one at p + 1.
    const Bytes lead = randomBytes(64, 11);
    Bytes longer = randomBytes(64, 12);
    std::copy(lead.begin() + 1, lead.begin() + 4, longer.begin());
    Bytes lazy = concat({lead, longer});
    lazy.push_back(lead[0]);
    lazy.insert(lazy.end(), longer.begin(), longer.end());
    finder.parse(lazy, parse);
    EXPECT_EQ(replay(lazy, parse, 65535), lazy);
    ASSERT_EQ(parse.sequences.size(), 1u);
    EXPECT_EQ(parse.sequences[0].literalCount, 129u);
    EXPECT_EQ(parse.sequences[0].matchLength, 64u);
    EXPECT_EQ(parse.sequences[0].distance, 65u);
}

// Earlier copies of a string, each one byte longer the further back it lies:
// the search must see past every shorter, nearer one to the longest. Odd and
// even counts of copies, so that a screen that skips every other length
// shows too.
TEST(MatchFinder, TakesTwoBytesAtThePreviousDistanceOnlyWhereAllowed)
{
    // Records of six bytes where every third byte differs from the record
    // before: "ab?de?": between the differing bytes only two bytes repeat at
    // the previous distance, set by a first record repeated whole.
    Bytes src = randomBytes(6, 21);
    src.insert(src.end(), src.begin(), src.end());
    for (std::uint8_t i = 0; i < 60; ++i) {
        Bytes record(src.end() - 6, src.end());
        record[2] = static_cast<std::uint8_t>(0x80 + i);
        record[5] = static_cast<std::uint8_t>(0x40 + i);
        src.insert(src.end(), record.begin(), record.end());
    }
    LzParse parse;
    for (const std::uint32_t minRepeat : {2u, 3u, 5u}) {
        MatchFinder::Options options;
        options.minRepeatMatch = minRepeat;
        MatchFinder finder(options);
        finder.parse(src, parse);
        // A four-byte match the chains find may lie at the previous distance too.
        EXPECT_EQ(replay(src, parse, 65535, 4, std::min(minRepeat, 4u)), src) << minRepeat;
        std::size_t twoByteRepeats = 0;
        std::uint32_t previous = 0;
        for (const LzSequence& s : parse.sequences) {
            twoByteRepeats += s.distance == previous && s.matchLength == 2 ? 1 : 0;
            previous = s.distance;
        }
        // Two of every record's six bytes come as literals between them.
        if (minRepeat == 2)
            EXPECT_GE(twoByteRepeats, 100u);
        else
            EXPECT_EQ(twoByteRepeats, 0u);
    }
    // Every kind of input replays, with no repeat shorter than allowed
    // (five is more than the finder checks before growing a repeat).
    for (const std::uint32_t minRepeat : {2u, 5u}) {
        MatchFinder::Options options;
        options.minRepeatMatch = minRepeat;
        MatchFinder finder(options);
        expectEachReplays(finder, {text(70000), randomBytes(5000, 22), Bytes(3000, 9), concat({src, text(2000), src})},
                          65535, 4, std::min(minRepeat, 4u));
    }
}

TEST(MatchFinder, TakesTheLongestOfCopiesThatGrowFurtherBack)
{
    const Bytes target = randomBytes(40, 21);
    const std::vector<std::vector<std::uint32_t>> layouts = {{9, 8, 7, 6, 5}, {8, 7, 6, 5}};  // far to near
    for (const auto& lengths : layouts) {
        for (std::uint32_t minMatch : {3u, 4u}) {
            Bytes src = randomBytes(16, 22);
            const std::size_t longestAt = src.size();
            for (std::uint32_t length : lengths) {
                src.insert(src.end(), target.begin(), target.begin() + length);
                src.push_back(static_cast<std::uint8_t>(target[length] ^ 0x55));  // the copy ends here
                const Bytes gap = randomBytes(30, 23 + length);
                src.insert(src.end(), gap.begin(), gap.end());
            }
            const std::size_t last = src.size();
            src.insert(src.end(), target.begin(), target.end());

            MatchFinder::Options options;
            options.minMatch = minMatch;
            MatchFinder finder(options);
            LzParse parse;
            finder.parse(src, parse);
            ASSERT_EQ(replay(src, parse, options.maxDistance, minMatch), src);
            std::size_t at = 0;
            bool seen = false;
            for (const LzSequence& seq : parse.sequences) {
                at += seq.literalCount;
                if (at == last) {
                    seen = true;
                    EXPECT_EQ(seq.matchLength, lengths[0]) << "minimum match " << minMatch;
                    EXPECT_EQ(seq.distance, last - longestAt) << "minimum match " << minMatch;
                }
                at += seq.matchLength;
            }
            EXPECT_TRUE(seen) << "no match where the last copy starts, minimum match " << minMatch;
        }
    }
}

TEST(MatchFinder, FindsRepeatsOfBytesDeepInALongLiteralRun)
{
    // The search steps over most of a long run of random bytes; a later copy
    // of its middle must still be found as one match.
    const Bytes noise = randomBytes(20000, 31);
    const Bytes src = concat({noise, Bytes(noise.begin() + 12000, noise.begin() + 16000)});
    MatchFinder finder(MatchFinder::Options{});
    LzParse parse;
    finder.parse(src, parse);
    EXPECT_EQ(replay(src, parse, 65535), src);
    ASSERT_EQ(parse.sequences.size(), 1u);
    EXPECT_EQ(parse.sequences[0].distance, 8000u);
    EXPECT_GE(parse.sequences[0].matchLength, 4000u);
    EXPECT_EQ(parse.trailingLiterals, 0u);
}

TEST(MatchFinder, WeighsShortMatchesAgainstOneTwoBytesOn)
{
    // At p a 4-byte match, at p + 1 none, at p + 2 a 64-byte one.
    const Bytes lead = randomBytes(64, 21);
    Bytes longer = randomBytes(64, 22);
    longer[0] = lead[2];
    longer[1] = lead[3];
    const Bytes src = concat({lead, longer, Bytes{lead[0], lead[1]}, longer});
    LzParse parse;

    MatchFinder::Options options;
    options.lazyTwoLength = 8;
    MatchFinder finder(options);
    finder.parse(src, parse);
    EXPECT_EQ(replay(src, parse, options.maxDistance), src);
    ASSERT_EQ(parse.sequences.size(), 1u);
    EXPECT_EQ(parse.sequences[0].literalCount, 130u);
    EXPECT_EQ(parse.sequences[0].matchLength, 64u);
    EXPECT_EQ(parse.sequences[0].distance, 66u);

    // Without the second look the short match is taken first.
    options.lazyTwoLength = 0;
    MatchFinder oneLook(options);
    oneLook.parse(src, parse);
    EXPECT_EQ(replay(src, parse, options.maxDistance), src);
    ASSERT_FALSE(parse.sequences.empty());
    EXPECT_EQ(parse.sequences[0].literalCount, 128u);
    EXPECT_EQ(parse.sequences[0].distance, 128u);
}

// Where each match of a parse starts, with its length.
std::vector<std::pair<std::size_t, std::uint32_t>> matchStarts(const LzParse& parse)
{
    std::vector<std::pair<std::size_t, std::uint32_t>> starts;
    std::size_t at = 0;
    for (const LzSequence& s : parse.sequences) {
        at += s.literalCount;
        starts.emplace_back(at, s.matchLength);
        at += s.matchLength;
    }
    return starts;
}

TEST(MatchFinder, LongMatchInHandLooksOneByteOnOnlyAFewLinksDeep)
{
    // At p a 21-byte match; at p + 1 a 68-byte one, behind four more recent
    // positions with the same first four bytes.
    const Bytes key = {'W', 'X', 'Y', 'Z'};
    const Bytes r = randomBytes(64, 51);
    Bytes src = concat({randomBytes(100, 52), Bytes{'#'}, key, r});  // the 68-byte source
    for (std::uint32_t i = 0; i < 4; ++i)
        src = concat({src, randomBytes(50, 53 + i), key, randomBytes(20, 60 + i)});
    src = concat({src, randomBytes(50, 70), Bytes{'c'}, key, Bytes(r.begin(), r.begin() + 16), randomBytes(30, 71)});
    src = concat({src, randomBytes(50, 72)});
    const std::size_t p = src.size();
    src = concat({src, Bytes{'c'}, key, r, randomBytes(40, 73)});

    MatchFinder::Options options;
    options.goodLength = 16;
    options.goodDepth = 1;
    MatchFinder shallow(options);
    LzParse parse;
    shallow.parse(src, parse);
    EXPECT_EQ(replay(src, parse, options.maxDistance), src);
    auto starts = matchStarts(parse);
    EXPECT_NE(std::find(starts.begin(), starts.end(), std::pair<std::size_t, std::uint32_t>{p, 21}), starts.end());

    // Without the shortcut the longer match one byte on wins.
    options.goodLength = 0;
    MatchFinder deep(options);
    deep.parse(src, parse);
    EXPECT_EQ(replay(src, parse, options.maxDistance), src);
    starts = matchStarts(parse);
    EXPECT_NE(std::find(starts.begin(), starts.end(), std::pair<std::size_t, std::uint32_t>{p + 1, 68}), starts.end());
}

TEST(MatchFinder, ReplaysInputsLongerThanItsLinksReach)
{
    // Links further back than sixteen bits can say are cut, and the walk
    // goes on among other positions: every match must still be real and
    // within reach, and the chains that fit must still lead to theirs.
    const MatchFinder::Options options = reaching(262139);
    MatchFinder finder(options);
    const Bytes block = randomBytes(300, 301);
    const std::vector<Bytes> inputs = {
        concat({block, randomBytes(70000, 302), block}),
        concat({randomBytes(100000, 303, 4), block, randomBytes(30000, 304, 4), block}),
        text(200000),
        corpusFile("sqlite-db.bin"),
        concat({randomBytes(200000, 305, 4), randomBytes(100000, 306)}),
    };
    expectEachReplays(finder, inputs, options.maxDistance);
    // The second copy of the block, 30,300 bytes on, past 130,000 bytes of
    // positions: found as one match.
    LzParse parse;
    finder.parse(inputs[1], parse);
    const bool blockFound = std::any_of(parse.sequences.begin(), parse.sequences.end(), [](const LzSequence& s) {
        return s.distance == 30300 && s.matchLength >= 296;
    });
    EXPECT_TRUE(blockFound);
}

TEST(MatchFinder, BothEndsOfALongMatchStayInTheTables)
{
    // A copy of 3,000 bytes; later, the start and the end of that copy
    // again, beyond the reach of the first one: only the charted positions
    // of the copy can serve them.
    MatchFinder::Options options = reaching(5000);
    options.chartedEnds = 24;
    const Bytes a = randomBytes(3000, 81);
    const Bytes head(a.begin(), a.begin() + 40);
    const Bytes tail(a.end() - 20, a.end());
    const Bytes src = concat({a, a, randomBytes(1500, 82), head, randomBytes(500, 83), tail, randomBytes(100, 84)});
    MatchFinder finder(options);
    LzParse parse;
    finder.parse(src, parse);
    EXPECT_EQ(replay(src, parse, options.maxDistance), src);
    const auto starts = matchStarts(parse);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0], (std::pair<std::size_t, std::uint32_t>{3000, 3000}));
    EXPECT_EQ(starts[1].first, 7500u);  // the head, 4,500 back at the copy

    EXPECT_GE(starts[1].second, 40u);
    EXPECT_EQ(starts[2].first, 8040u);  // the tail, 2,060 back at the copy's end
    EXPECT_GE(starts[2].second, 20u);
}

}  // namespace
}  // namespace kelvane::codec::test
