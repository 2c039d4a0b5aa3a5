// SPDX-License-Identifier: MIT
#include "platform/CaseTexts.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

namespace kelvane::platform {
namespace {

enum class Light { red, amber, green };
constexpr std::array allLights{Light::red, Light::amber, Light::green};
struct LightTexts {
    Light value;
    std::string_view name;
    int seconds = 0;
};

constexpr std::array complete{LightTexts{Light::red, "red", 30}, LightTexts{Light::amber, "amber", 3},
                              LightTexts{Light::green, "green", 25}};
constexpr std::array swapped{LightTexts{Light::amber, "amber"}, LightTexts{Light::red, "red"},
                             LightTexts{Light::green, "green"}};
constexpr std::array missing{LightTexts{Light::red, "red"}, LightTexts{Light::green, "green"}};
constexpr std::array doubled{LightTexts{Light::red, "red"}, LightTexts{Light::red, "red"},
                             LightTexts{Light::green, "green"}};

TEST(CaseTextsTest, OnlyATableWithEveryCaseInOrderPasses)
{
    static_assert(rowsFollowCases(complete, allLights));
    EXPECT_TRUE(rowsFollowCases(complete, allLights));
    EXPECT_FALSE(rowsFollowCases(swapped, allLights));
    EXPECT_FALSE(rowsFollowCases(missing, allLights));
    EXPECT_FALSE(rowsFollowCases(doubled, allLights));
}

TEST(CaseTextsTest, EachCaseReadsItsOwnRowAndAValueOutsideTheCasesTheFallback)
{
    EXPECT_EQ(caseValue(complete, Light::red, &LightTexts::name, "?"), "red");
    EXPECT_EQ(caseValue(complete, Light::amber, &LightTexts::name, "?"), "amber");
    EXPECT_EQ(caseValue(complete, Light::green, &LightTexts::name, "?"), "green");
    EXPECT_EQ(caseValue(complete, static_cast<Light>(7), &LightTexts::name, "?"), "?");
    EXPECT_EQ(caseValue(missing, Light::amber, &LightTexts::name, "none"), "none");
    EXPECT_EQ(caseValue(complete, Light::amber, &LightTexts::seconds, -1), 3);
    EXPECT_EQ(caseValue(complete, static_cast<Light>(-1), &LightTexts::seconds, -1), -1);
}

}  // namespace
}  // namespace kelvane::platform
