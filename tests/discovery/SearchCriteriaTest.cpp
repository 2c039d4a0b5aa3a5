// SPDX-License-Identifier: MIT
#include "discovery/SearchCriteria.h"

#include "support/EveryField.h"

#include <gtest/gtest.h>

namespace kd = kelvane::discovery;
using kd::ExtensionFilter;
using kd::FileCandidate;
using kd::SearchCriteria;
using namespace std::chrono_literals;

namespace {

const auto kNow = std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000));

SearchCriteria nothingSet() {
    return SearchCriteria{"/root", true, std::nullopt, std::nullopt, std::nullopt, std::nullopt, false, false};
}

FileCandidate candidate(const std::string& name, std::uint64_t size = 10, bool hidden = false, bool compressed = false) {
    return FileCandidate{"/root/" + name, size, kNow, hidden, compressed};
}

TEST(SearchCriteriaTest, NothingSetMatchesEverything) {
    const auto criteria = nothingSet();
    EXPECT_TRUE(criteria.matches(candidate("a")));
    EXPECT_TRUE(criteria.matches(candidate(".hidden", 0, true, true)));
    EXPECT_TRUE(criteria.matches(FileCandidate{"/root/x", 0, kd::kDistantPast, false, false}));
}

TEST(SearchCriteriaTest, DateBoundIsInclusive) {
    auto criteria = nothingSet();
    criteria.modifiedBefore = kNow;
    auto c = candidate("a");
    EXPECT_TRUE(criteria.matches(c));
    c.modificationDate = kNow + 1ns;
    EXPECT_FALSE(criteria.matches(c));
    c.modificationDate = kd::kDistantPast;
    EXPECT_TRUE(criteria.matches(c));
}

TEST(SearchCriteriaTest, SizeBoundsAreInclusiveAndUnsigned) {
    auto criteria = nothingSet();
    criteria.minSize = 100;
    criteria.maxSize = 200;
    EXPECT_FALSE(criteria.matches(candidate("a", 99)));
    EXPECT_TRUE(criteria.matches(candidate("a", 100)));
    EXPECT_TRUE(criteria.matches(candidate("a", 200)));
    EXPECT_FALSE(criteria.matches(candidate("a", 201)));
    criteria.minSize = 0;
    criteria.maxSize = std::nullopt;
    EXPECT_TRUE(criteria.matches(candidate("a", UINT64_MAX)));
    criteria.minSize = 300;
    criteria.maxSize = 200;
    EXPECT_FALSE(criteria.matches(candidate("a", 250)));
    EXPECT_FALSE(criteria.matches(candidate("a", 300)));
}

TEST(SearchCriteriaTest, ExtensionFilterUsesLowercasedLastExtension) {
    auto criteria = nothingSet();
    criteria.extensionFilter = ExtensionFilter(ExtensionFilter::includeOnly{{"jpg"}});
    EXPECT_TRUE(criteria.matches(candidate("Photo.JPG")));
    EXPECT_TRUE(criteria.matches(candidate("archive.tar.jpg")));
    EXPECT_FALSE(criteria.matches(candidate("photo.jpg.gz")));
    EXPECT_FALSE(criteria.matches(candidate("jpg")));
    EXPECT_FALSE(criteria.matches(candidate(".jpg")));  // a dot-file's name is not an extension

    criteria.extensionFilter = ExtensionFilter(ExtensionFilter::exclude{{"jpg"}});
    EXPECT_FALSE(criteria.matches(candidate("Photo.JPG")));
    EXPECT_TRUE(criteria.matches(candidate("README")));

    criteria.extensionFilter = ExtensionFilter(ExtensionFilter::includeOnly{{"JPG"}});
    EXPECT_FALSE(criteria.matches(candidate("Photo.JPG")));

    criteria.extensionFilter = ExtensionFilter(ExtensionFilter::includeOnly{{"txt"}});
    EXPECT_FALSE(criteria.matches(candidate("README")));
    criteria.extensionFilter = ExtensionFilter(ExtensionFilter::includeOnly{{"txt", ""}});
    EXPECT_TRUE(criteria.matches(candidate("README")));
    EXPECT_TRUE(criteria.matches(candidate("trailing.")));

    criteria.extensionFilter = ExtensionFilter(ExtensionFilter::includeOnly{{}});
    EXPECT_FALSE(criteria.matches(candidate("a.txt")));
    criteria.extensionFilter = ExtensionFilter(ExtensionFilter::exclude{{}});
    EXPECT_TRUE(criteria.matches(candidate("a.txt")));
}

TEST(SearchCriteriaTest, ExclusionsActOnlyWhenAsked) {
    auto criteria = nothingSet();
    const auto hidden = candidate(".a", 10, true, false);
    const auto compressed = candidate("b", 10, false, true);
    EXPECT_TRUE(criteria.matches(hidden));
    EXPECT_TRUE(criteria.matches(compressed));
    criteria.excludeHidden = true;
    EXPECT_FALSE(criteria.matches(hidden));
    EXPECT_TRUE(criteria.matches(compressed));
    criteria.excludeAlreadyCompressed = true;
    EXPECT_FALSE(criteria.matches(compressed));
    EXPECT_TRUE(criteria.matches(candidate("c")));
}

TEST(SearchCriteriaTest, EqualityCoversEveryField) {
    using Change = kelvane::test::FieldChange<SearchCriteria>;
    kelvane::test::expectEqualityCoversEveryField(
        nothingSet(),
        {Change{"rootURL", [](SearchCriteria& c) { c.rootURL = "/other"; }},
         Change{"recursive", [](SearchCriteria& c) { c.recursive = false; }},
         Change{"modifiedBefore", [](SearchCriteria& c) { c.modifiedBefore = kNow; }},
         Change{"minSize", [](SearchCriteria& c) { c.minSize = 0; }},
         Change{"maxSize", [](SearchCriteria& c) { c.maxSize = 0; }},
         Change{"extensionFilter", [](SearchCriteria& c) { c.extensionFilter = ExtensionFilter(ExtensionFilter::includeOnly{{"a"}}); }},
         Change{"excludeAlreadyCompressed", [](SearchCriteria& c) { c.excludeAlreadyCompressed = true; }},
         Change{"excludeHidden", [](SearchCriteria& c) { c.excludeHidden = true; }}});
    // Filters differ by their case as well as by their extensions.
    auto include = nothingSet();
    include.extensionFilter = ExtensionFilter(ExtensionFilter::includeOnly{{"a"}});
    auto exclude = include;
    exclude.extensionFilter = ExtensionFilter(ExtensionFilter::exclude{{"a"}});
    EXPECT_NE(include, exclude);
}

}  // namespace
