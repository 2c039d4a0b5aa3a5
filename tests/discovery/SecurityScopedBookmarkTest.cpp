// SPDX-License-Identifier: MIT
#include "discovery/BookmarkError.h"
#include "discovery/SecurityScopedBookmark.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace kd = kelvane::discovery;
using kd::BookmarkError;
using kd::SecurityScopedBookmark;

namespace {

TEST(SecurityScopedBookmarkTest, ResolveCreatedStaleAndMissing) {
    kelvane::test::TempDir temp;
    const auto file = temp.path() / "a.txt";
    kelvane::test::writeRawFile(file, {1});
    const auto data = SecurityScopedBookmark::createBookmark(file);
    EXPECT_EQ(SecurityScopedBookmark::resolveBookmark(data), (SecurityScopedBookmark::Resolved{file, false}));

    // Held open, the removed file keeps its inode, so the next one gets another.
    const int held = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    std::filesystem::remove(file);
    try {
        SecurityScopedBookmark::resolveBookmark(data);
        FAIL() << "resolved a missing file";
    } catch (const BookmarkError& e) {
        ASSERT_TRUE(e.as<BookmarkError::resolutionFailed>());
        EXPECT_NE(e.as<BookmarkError::resolutionFailed>()->reason.find("a.txt"), std::string::npos);
    }

    kelvane::test::writeRawFile(file, {2});
    EXPECT_EQ(SecurityScopedBookmark::resolveBookmark(data), (SecurityScopedBookmark::Resolved{file, true}));
    ::close(held);
}

TEST(SecurityScopedBookmarkTest, FailuresCarryThePlatformDescription) {
    kelvane::test::TempDir temp;
    try {
        SecurityScopedBookmark::createBookmark(temp.path() / "missing");
        FAIL() << "bookmarked a missing file";
    } catch (const BookmarkError& e) {
        const auto* failed = e.as<BookmarkError::creationFailed>();
        ASSERT_TRUE(failed);
        EXPECT_NE(failed->reason.find("errno=" + std::to_string(ENOENT)), std::string::npos) << failed->reason;
        EXPECT_EQ(e.description(), "creationFailed(reason: \"" + failed->reason + "\")");
    }
    const std::vector<std::uint8_t> garbage{0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_THROW(SecurityScopedBookmark::resolveBookmark(garbage), BookmarkError);
    EXPECT_THROW(SecurityScopedBookmark::resolveBookmark({}), BookmarkError);

    EXPECT_EQ(BookmarkError(BookmarkError::creationFailed{"x"}), BookmarkError(BookmarkError::creationFailed{"x"}));
    EXPECT_NE(BookmarkError(BookmarkError::creationFailed{"x"}), BookmarkError(BookmarkError::resolutionFailed{"x"}));
    EXPECT_NE(BookmarkError(BookmarkError::creationFailed{"x"}), BookmarkError(BookmarkError::creationFailed{"y"}));
}

}  // namespace
