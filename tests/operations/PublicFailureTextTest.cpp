// SPDX-License-Identifier: MIT
#include "operations/bulk/PublicFailureText.h"

#include <gtest/gtest.h>

namespace kelvane::operations {
namespace {

TEST(PublicFailureText, PathsBecomePrivateWhereverTheFailureWritesThem)
{
    // Plain, quoted with escapes, and more than once.
    EXPECT_EQ(publicFailureText("rootNotFound(\"/home/a/Docs\")", {"/home/a/Docs"}), "rootNotFound(\"<private>\")");
    EXPECT_EQ(publicFailureText(R"(open(path: "/home/a/say \"hi\"", errno: 2))", {"/home/a/say \"hi\""}),
              R"(open(path: "<private>", errno: 2))");
    EXPECT_EQ(publicFailureText("/x/a.txt to /x/a.txt.tmp", {"/x/a.txt"}), "<private> to <private>.tmp");

    // The file before its folder: a sibling leaves only its own name.
    EXPECT_EQ(publicFailureText("rename /d/e/f.txt -> /d/e/.f.tmp", {"/d/e", "/d/e/f.txt"}),
              "rename <private> -> <private>/.f.tmp");

    // Nothing to mask: the words stay as they are; "/" and an empty path mask nothing.
    EXPECT_EQ(publicFailureText("disk full", {"/home/a"}), "disk full");
    EXPECT_EQ(publicFailureText("a/b", {"/", ""}), "a/b");
    EXPECT_EQ(publicFailureText("", {"/home/a"}), "");
}

}  // namespace
}  // namespace kelvane::operations
