// SPDX-License-Identifier: MIT
#include "store/Uuid.h"

#include <gtest/gtest.h>

#include <set>

namespace kelvane::store {
namespace {

TEST(UuidTest, RandomIdentifiersAreVersion4AndReadBackFromTheirText) {
    std::set<Uuid> seen;
    for (int i = 0; i < 1000; ++i) {
        const Uuid uuid = Uuid::random();
        EXPECT_EQ(uuid.bytes()[6] >> 4, 4);
        EXPECT_EQ(uuid.bytes()[8] >> 6, 2);
        const std::string text = uuid.toString();
        EXPECT_EQ(Uuid::fromString(text), uuid);
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);

    const auto parsed = Uuid::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->toString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(parsed->bytes()[0], 0xE6);
    EXPECT_EQ(parsed->bytes()[15], 0x5F);

    for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
                            "E621E1F8-C36C-495A-93FC-0C247A3E6E5G", "E621E1F8+C36C-495A-93FC-0C247A3E6E5F",
                            "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0"}) {
        EXPECT_FALSE(Uuid::fromString(bad)) << bad;
    }
    // Thirty-six characters with a NUL inside are not an identifier either.
    EXPECT_FALSE(Uuid::fromString(std::string_view("E621E1F8-C36C-495A-93FC-0C247A3E6E\0F", 36)));
}

}  // namespace
}  // namespace kelvane::store
