// SPDX-License-Identifier: MIT
#include "engine/ExtensionCategory.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace kelvane::engine {
namespace {

TEST(ExtensionCategoryTest, LookupNormalisesAndFallsBackToUnknown)
{
    EXPECT_EQ(normalizedExtension("..Txt"), "txt");
    EXPECT_EQ(normalizedExtension("..."), "");
    for (const char* ext : {"TXT", ".txt", "..Txt", "svg", "CSV"})
        EXPECT_EQ(fileExtensionCategory(ext), ExtensionCategory::text) << ext;
    EXPECT_EQ(fileExtensionCategory("APP"), ExtensionCategory::binaryExecutable);
    EXPECT_EQ(fileExtensionCategory("h"), ExtensionCategory::sourceCode);
    EXPECT_EQ(fileExtensionCategory("Sketch"), ExtensionCategory::graphicSource);
    EXPECT_EQ(fileExtensionCategory("epub"), ExtensionCategory::compoundCompressed);
    EXPECT_EQ(fileExtensionCategory("m4a"), ExtensionCategory::uncompressedMedia);
    EXPECT_EQ(fileExtensionCategory("gz"), ExtensionCategory::uncompressedArchive);  // archive.tar.gz
    EXPECT_EQ(fileExtensionCategory("br"), ExtensionCategory::uncompressedArchive);
    for (const char* ext : {"", ".", "jpeg", "tar", "tiff", "doc", "t xt", "txt."})
        EXPECT_EQ(fileExtensionCategory(ext), ExtensionCategory::unknown) << ext;
}

TEST(ExtensionCategoryTest, CategoryColumnsAndStarBar)
{
    EXPECT_EQ(displayName(ExtensionCategory::binaryExecutable), "実行ファイル / バイナリ");
    EXPECT_EQ(expectedRatioText(ExtensionCategory::graphicSource), "30〜70% 圧縮の可能性（実測推奨）");
    EXPECT_EQ(expectedRatioText(ExtensionCategory::uncompressedArchive), "ほぼ縮みません（既圧縮アーカイブ）");
    const int expectedStars[] = {5, 5, 4, 3, 2, 1, 1, 0};
    const Rating expectedRatings[] = {Rating::excellent, Rating::excellent, Rating::good, Rating::good,
                                      Rating::marginal, Rating::unsuitable, Rating::unsuitable, Rating::unknown};
    for (std::size_t i = 0; i < allExtensionCategories.size(); ++i) {
        EXPECT_EQ(stars(allExtensionCategories[i]), expectedStars[i]) << i;
        EXPECT_EQ(rating(allExtensionCategories[i]), expectedRatings[i]) << i;
    }
    EXPECT_EQ(displayName(ExtensionCategory::unknown), "不明");
    EXPECT_EQ(label(rating(ExtensionCategory::unknown)), "不明");
    EXPECT_EQ(symbol(rating(ExtensionCategory::unknown)), "?");

    EXPECT_EQ(starBar(3), "★★★☆☆");
    EXPECT_EQ(starBar(0), "☆☆☆☆☆");
    EXPECT_EQ(starBar(7), "★★★★★");
    EXPECT_EQ(starBar(-1), "☆☆☆☆☆");
}

TEST(ExtensionCategoryTest, RatingRawValuesAreExact)
{
    EXPECT_FALSE(ratingFromRaw("Good").has_value());
    EXPECT_EQ(ratingFromRaw("good"), Rating::good);
    std::set<std::string_view> labels, symbols;
    for (Rating r : allRatings) {
        EXPECT_EQ(ratingFromRaw(rawValue(r)), r);
        labels.insert(label(r));
        symbols.insert(symbol(r));
    }
    EXPECT_EQ(labels, (std::set<std::string_view>{"強", "中", "弱", "なし", "不明"}));
    EXPECT_EQ(symbols, (std::set<std::string_view>{"◎", "○", "△", "×", "?"}));
}

TEST(ExtensionCategoryTest, FirstUseFromManyThreadsAgrees)
{
    std::vector<std::thread> threads;
    std::array<ExtensionCategory, 8> seen{};
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = fileExtensionCategory(i % 2 ? "PY" : "mov"); });
    for (auto& t : threads)
        t.join();
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], i % 2 ? ExtensionCategory::sourceCode : ExtensionCategory::uncompressedMedia);
}

}  // namespace
}  // namespace kelvane::engine
