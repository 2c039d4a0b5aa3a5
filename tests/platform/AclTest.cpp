// SPDX-License-Identifier: MIT
#include "platform/Acl.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kelvane::platform {
namespace {

mode_t modeOf(const std::filesystem::path& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(AclTest, ExtendedEntriesCopyWithoutTouchingTheMode)
{
    test::TempDir dir;
    const auto source = dir / "source";
    const auto copy = dir / "copy";
    test::writeRawFile(source, {});
    test::writeRawFile(copy, {});
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
    ASSERT_EQ(::chmod(copy.c_str(), 0600), 0);

    // Mode bits alone are no extended ACL.
    EXPECT_FALSE(aclGetFileExtended(source));
    EXPECT_EQ(errno, ENOENT);

    const Acl wanted = Acl::fromText("u::rwx,u:65534:r--,g::r-x,g:65534:rw-,m::rwx,o::rwx");
    ASSERT_TRUE(wanted);
    ASSERT_EQ(aclSetFileExtended(source, wanted), 0);
    EXPECT_EQ(modeOf(source), 0640u);  // owner, group class and other unchanged
    const Acl got = aclGetFileExtended(source);
    ASSERT_TRUE(got);
    const std::string text = got.toText();
    EXPECT_NE(text.find("user:65534:r--"), std::string::npos) << text;
    EXPECT_NE(text.find("group:65534:rw-"), std::string::npos) << text;
    EXPECT_NE(text.find("group::r-x"), std::string::npos) << text;
    EXPECT_NE(text.find("mask::r--"), std::string::npos) << text;
    EXPECT_NE(text.find("other::---"), std::string::npos) << text;

    // Copied to a file with another mode, then given the source's mode: the
    // same list as the source.
    ASSERT_EQ(aclSetFileExtended(copy, got), 0);
    EXPECT_EQ(modeOf(copy), 0600u);
    ASSERT_EQ(::chmod(copy.c_str(), 0640), 0);
    EXPECT_EQ(aclGetFileExtended(copy).toText(), text);

    // A list without named entries removes the extended ones.
    ASSERT_EQ(aclSetFileExtended(copy, Acl::fromText("u::rw-,g::r--,o::---")), 0);
    EXPECT_FALSE(aclGetFileExtended(copy));
    EXPECT_EQ(modeOf(copy), 0640u);

    EXPECT_FALSE(Acl::fromText("not an acl"));
    EXPECT_EQ(aclSetFileExtended(copy, Acl()), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(aclGetFileExtended(dir / "missing"));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace kelvane::platform
