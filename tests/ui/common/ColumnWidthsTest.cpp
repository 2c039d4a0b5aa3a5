// SPDX-License-Identifier: MIT
#include "ui/common/ColumnWidths.h"

#include <gtest/gtest.h>

#include <numeric>

namespace kelvane::ui {
namespace {

int sum(const std::vector<int>& widths) { return std::accumulate(widths.begin(), widths.end(), 0); }

TEST(ColumnWidthsTest, NarrowViewsTakeFromEveryColumnInProportionAndNeverBelowItsMinimum)
{
    const std::vector<ColumnWidth> bounds{{180, 280}, {60, 80, 110}, {80, 100, 130}};
    const std::vector<bool> shown(3, false);
    // 460 wanted, 430 there: the 30 come from 100 + 20 + 20 of slack.
    auto widths = ColumnWidths::fit(bounds, {280, 80, 100}, shown, 430);
    EXPECT_EQ(sum(widths), 430);
    EXPECT_EQ(widths, (std::vector<int>{258, 76, 96}));
    // Narrower than every minimum: all at their minimums, the view scrolls.
    widths = ColumnWidths::fit(bounds, {280, 80, 100}, shown, 200);
    EXPECT_EQ(widths, (std::vector<int>{180, 60, 80}));
    // Exact fit for odd deficits: rounding never leaves a pixel over.
    for (int available = 320; available <= 460; ++available)
        EXPECT_EQ(sum(ColumnWidths::fit(bounds, {280, 80, 100}, shown, available)), available) << available;
}

TEST(ColumnWidthsTest, RoomLeftGoesToUnboundedColumnsAndHiddenOnesGetNothing)
{
    const std::vector<ColumnWidth> bounds{{160, 220}, {160, 240}, {80, 100, 130}};
    auto widths = ColumnWidths::fit(bounds, {220, 240, 100}, {false, false, false}, 661);
    EXPECT_EQ(widths, (std::vector<int>{270, 291, 100})) << "the bounded column keeps its width";
    widths = ColumnWidths::fit(bounds, {220, 240, 100}, {false, true, false}, 500);
    EXPECT_EQ(widths, (std::vector<int>{400, 0, 100}));
    // Only bounded columns: they stay as wanted (within bounds) and the rest is empty.
    widths = ColumnWidths::fit({{50, 60, 80}, {70, 90, 110}}, {500, 10}, {false, false}, 1000);
    EXPECT_EQ(widths, (std::vector<int>{80, 70}));
}

}  // namespace
}  // namespace kelvane::ui
