// SPDX-License-Identifier: MIT
// Unit names for a folder, written as systemd-escape --path writes them
// (the results below are what it printed for the same paths): the user
// manager finds the instance by that name alone.

#include "platform/SystemdEscape.h"

#include <gtest/gtest.h>

namespace kelvane::platform {
namespace {

TEST(SystemdEscapeTest, PathsAreEscapedAsSystemdDoes)
{
    EXPECT_EQ(systemdEscapedPath("/home/u/My Files/a-b.c/.hidden/\xc3\xbc"),
              "home-u-My\\x20Files-a\\x2db.c-.hidden-\\xc3\\xbc");
    EXPECT_EQ(systemdEscapedPath("/.dot/x/"), "\\x2edot-x") << "only a leading dot is escaped";
    EXPECT_EQ(systemdEscapedPath("/"), "-");
    EXPECT_EQ(systemdEscapedPath("//srv//data"), "srv-data");
    EXPECT_EQ(systemdEscapedPath("/a\\b:c_d"), "a\\x5cb:c_d");
    EXPECT_EQ(kelvanefsUnitName("/home/u/Archive"), "kelvanefs@home-u-Archive.service");
}

}  // namespace
}  // namespace kelvane::platform
