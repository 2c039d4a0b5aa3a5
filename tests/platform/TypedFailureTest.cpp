// SPDX-License-Identifier: MIT
#include "platform/Bookmark.h"
#include "platform/PosixError.h"
#include "platform/TypedFailure.h"
#include "platform/qt/NotificationCenter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace kelvane::platform {
namespace {

TEST(TypedFailureTest, TextualFormNamesTheCaseAndQuotesStrings)
{
    EXPECT_EQ(caseText("truncated"), "truncated");
    EXPECT_EQ(caseText("invalidMagic", {"42"}), "invalidMagic(42)");
    EXPECT_EQ(caseText("decodeFailed", {labeled("expectedBytes", 9'000'000'000LL), labeled("gotBytes", -1)}),
              "decodeFailed(expectedBytes: 9000000000, gotBytes: -1)");
    EXPECT_EQ(caseText("invalidHeader", {labeled("reason", std::string("say \"no\" \\ stop"))}),
              R"(invalidHeader(reason: "say \"no\" \\ stop"))");
    EXPECT_EQ(quotedText(""), "\"\"");
}

struct SampleCases {
    struct none {};
    struct one { std::string a; };
    struct three { std::string a; int b = 0; std::filesystem::path c; };
    using Case = std::variant<none, one, three>;
    static std::string describe(const Case& value) { return std::to_string(value.index()); }
};
class SampleFailure : public TypedFailure<SampleCases> {
public:
    using TypedFailure::TypedFailure;
};

TEST(TypedFailureTest, FailuresAreEqualOnlyInCaseAndEveryPayloadField)
{
    using S = SampleFailure;
    EXPECT_EQ(S(S::none{}), S(S::none{}));
    EXPECT_NE(S(S::none{}), S(S::one{}));
    EXPECT_EQ(S(S::one{"x"}), S(S::one{"x"}));
    EXPECT_NE(S(S::one{"x"}), S(S::one{"y"}));
    EXPECT_NE(S(S::one{""}), S(S::three{}));
    const S three(S::three{"x", 1, "/p"});
    EXPECT_EQ(three, S(S::three{"x", 1, "/p"}));
    EXPECT_NE(three, S(S::three{"y", 1, "/p"}));
    EXPECT_NE(three, S(S::three{"x", 2, "/p"}));
    EXPECT_NE(three, S(S::three{"x", 1, "/q"}));
    EXPECT_STREQ(three.what(), "2");
}

TEST(TypedFailureTest, AFailedCallReadsCallColonErrno)
{
    const PosixError open("open", EACCES);
    EXPECT_EQ(open.description(), "open: errno=" + std::to_string(EACCES));
    EXPECT_STREQ(open.what(), open.description().c_str());
    EXPECT_EQ(open.errorNumber(), EACCES);
    EXPECT_EQ(errorDescription(EIO), "errno=" + std::to_string(EIO));

    errno = ENOSPC;
    const PosixError write("write");
    EXPECT_EQ(write.errorNumber(), ENOSPC);

    EXPECT_EQ(open, PosixError("open", EACCES));
    EXPECT_NE(open, PosixError("open", EPERM));
    EXPECT_NE(open, PosixError("openat", EACCES));
}

TEST(TypedFailureTest, BookmarkFailuresKeepTheirErrnoAndWords)
{
    const BookmarkDataError invalid(BookmarkDataError::invalidData{"checksum mismatch"});
    EXPECT_EQ(invalid.code(), EINVAL);
    EXPECT_STREQ(invalid.what(), "bookmark data is not valid: checksum mismatch");

    const BookmarkDataError created(BookmarkDataError::creationFailed{"/a/b", "lstat: errno=2", ENOENT});
    EXPECT_EQ(created.code(), ENOENT);
    EXPECT_STREQ(created.what(), "bookmark creation failed for /a/b: lstat: errno=2");

    const BookmarkDataError resolved(BookmarkDataError::resolutionFailed{"/a/b", "lstat: errno=13", EACCES});
    EXPECT_EQ(resolved.code(), EACCES);
    EXPECT_STREQ(resolved.what(), "bookmark resolution failed for /a/b: lstat: errno=13");

    // Same words, other case: not the same failure.
    EXPECT_NE(created, BookmarkDataError(BookmarkDataError::resolutionFailed{"/a/b", "lstat: errno=2", ENOENT}));
    EXPECT_NE(created, BookmarkDataError(BookmarkDataError::creationFailed{"/a/b", "lstat: errno=2", EIO}));
}

TEST(TypedFailureTest, NotificationFailuresReadAsTheUserSeesThem)
{
    using E = NotificationError;
    EXPECT_STREQ(E(E::serviceFailed{"the desktop did not answer"}).what(), "the desktop did not answer");
    EXPECT_STREQ(E(E::folderNotCreated{"/h/k", "Permission denied"}).what(), "cannot create /h/k: Permission denied");
    EXPECT_STREQ(E(E::stateNotLocked{"/h/k/n.json"}).what(), "cannot lock /h/k/n.json");
    EXPECT_STREQ(E(E::stateNotWritten{"/h/k/n.json", "disk full"}).what(), "cannot write /h/k/n.json: disk full");
    EXPECT_NE(E(E::stateNotLocked{"/a"}), E(E::stateNotLocked{"/b"}));
}

}  // namespace
}  // namespace kelvane::platform
