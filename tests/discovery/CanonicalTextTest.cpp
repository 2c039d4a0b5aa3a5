// SPDX-License-Identifier: MIT
#include "discovery/CanonicalText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using kelvane::discovery::CanonicalText;

namespace {

TEST(CanonicalTextTest, PrecomposedAndDecomposedSpellingsAreEqual) {
    const std::pair<std::string, std::string> spellings[] = {
        // Latin, Greek, Cyrillic, kana with dakuten, Hangul.
        {"caf\u00E9", "cafe\u0301"},
        {"\u1F00", "\u03B1\u0313"},
        {"\u0419", "\u0418\u0306"},
        {"\u30AC\u30A4\u30C9", "\u30AB\u3099\u30A4\u30C8\u3099"},
        {"\uD55C", "\u1112\u1161\u11AB"},
        // Multi-level decomposition: U+1E69 is s + dot below + dot above.
        {"\u1E69", "s\u0323\u0307"},
    };
    for (const auto& [precomposed, decomposed] : spellings)
        EXPECT_TRUE(CanonicalText::equal(precomposed, decomposed)) << precomposed;
    EXPECT_EQ(CanonicalText::decomposed("\u00C5ngstr\u00F6m"), "A\u030Angstro\u0308m");
    // Outside the basic plane: the musical half note is a stem and a notehead.
    EXPECT_EQ(CanonicalText::decomposed("\U0001D15E"), "\U0001D157\U0001D165");
    EXPECT_EQ(CanonicalText::decomposed("x\xFF\U0001D15E\xC3"), "x\xFF\U0001D157\U0001D165\xC3");
}

TEST(CanonicalTextTest, CombiningMarksCompareInCanonicalOrder) {
    // Dot below (class 220) and dot above (class 230) in either order.
    EXPECT_TRUE(CanonicalText::equal("s\u0307\u0323", "s\u0323\u0307"));
    // Two marks of the same class keep their order: not equivalent.
    EXPECT_FALSE(CanonicalText::equal("a\u0301\u0300", "a\u0300\u0301"));
}

TEST(CanonicalTextTest, DifferentTextStaysDifferent) {
    EXPECT_FALSE(CanonicalText::equal("cafe", "caf\u00E9"));
    EXPECT_FALSE(CanonicalText::equal("Caf\u00E9", "caf\u00E9"));  // case matters
    // Compatibility forms are not canonical ones: "ﬁ" is not "fi".
    EXPECT_FALSE(CanonicalText::equal("\uFB01", "fi"));
    EXPECT_FALSE(CanonicalText::equal("\u30AC", "\u30AB"));
}

TEST(CanonicalTextTest, InvalidBytesSurviveAndOnlyEqualThemselves) {
    const std::string latin1 = "caf\xE9";         // not UTF-8
    const std::string truncated = "a\xC3";        // cut in the middle of "é"
    const std::string overlong = "\xC0\xAF";      // overlong "/"
    EXPECT_EQ(CanonicalText::decomposed(latin1), latin1);
    EXPECT_EQ(CanonicalText::decomposed(truncated), truncated);
    EXPECT_EQ(CanonicalText::decomposed(overlong), overlong);
    EXPECT_FALSE(CanonicalText::equal(latin1, "caf\u00E9"));
    EXPECT_FALSE(CanonicalText::equal(overlong, "/"));
    EXPECT_TRUE(CanonicalText::equal(latin1 + "\u00E9", latin1 + "e\u0301"));
}

TEST(CanonicalTextTest, PrefixFollowsCanonicalEquivalence) {
    EXPECT_TRUE(CanonicalText::hasPrefix("/Users/Jose\u0301/x", "/Users/Jos\u00E9/"));
    EXPECT_FALSE(CanonicalText::hasPrefix("/Users/Jose/x", "/Users/Jos\u00E9/"));
    // "e" is not a whole-character prefix of "é".
    EXPECT_FALSE(CanonicalText::hasPrefix("e\u0301x", "e"));
    EXPECT_TRUE(CanonicalText::hasPrefix("abc", ""));
    EXPECT_FALSE(CanonicalText::hasPrefix("ab", "abc"));
    // A stray byte is a character of its own; a cut sequence is its bytes.
    EXPECT_TRUE(CanonicalText::hasPrefix("a\x9F", "a"));
    EXPECT_TRUE(CanonicalText::hasPrefix("a\xF0\x9F\x98x", "a\xF0\x9F"));
    // The prefix's last byte must not be the first of a character that goes on.
    EXPECT_FALSE(CanonicalText::hasPrefix("\u00DF", "\xC3"));
    EXPECT_FALSE(CanonicalText::hasPrefix("\xE2\x82\xAC", "\xE2\x82"));
}

TEST(CanonicalTextTest, DecomposingTwiceChangesNothing) {
    // Starters, marks of several classes, Hangul, precomposed letters and
    // stray bytes, mixed at random; the seed is printed to replay a failure.
    const std::vector<std::string> palette{"a", "\u00E9", "\u1E69", "\u0301", "\u0323", "\u0307", "\u031B",
                                           "\u05B0", "\uD55C", "\u1161", "\u30AC", "\u3099", "/", "\xFF", "\xC3"};
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        for (int n = static_cast<int>(rng() % 12); n > 0; --n) text += palette[rng() % palette.size()];
        const auto once = CanonicalText::decomposed(text);
        ASSERT_EQ(CanonicalText::decomposed(once), once) << "seed " << seed << " round " << round;
        ASSERT_TRUE(CanonicalText::equal(text, once)) << "seed " << seed << " round " << round;
    }
}

}  // namespace
