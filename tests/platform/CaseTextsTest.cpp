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
};

constexpr std::array complete{LightTexts{Light::red, "red"}, LightTexts{Light::amber, "amber"},
                              LightTexts{Light::green, "green"}};
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
    EXPECT_EQ(caseText(complete, Light::red, &LightTexts::name, "?"), "red");
    EXPECT_EQ(caseText(complete, Light::amber, &LightTexts::name, "?"), "amber");
    EXPECT_EQ(caseText(complete, Light::green, &LightTexts::name, "?"), "green");
    EXPECT_EQ(caseText(complete, static_cast<Light>(7), &LightTexts::name, "?"), "?");
    EXPECT_EQ(caseText(missing, Light::amber, &LightTexts::name, "none"), "none");
}

}  // namespace
}  // namespace kelvane::platform
