// SPDX-License-Identifier: MIT
#include "app/AppContext.h"
#include "app/CommandLineTexts.h"
#include "KelvaneVersion.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kelvane::app {
namespace {

TEST(VersionTextsTest, VersionTextAndLabelFallBackDifferently)
{
    const BundleInfo full{"1.4.0", "37"};
    EXPECT_EQ(CommandLineVersion::versionText(full), "Kelvane 1.4.0 (build 37)\n");
    EXPECT_EQ(AppContext::versionLabel(full), "v1.4.0 (build 37)");

    const BundleInfo empty{};
    EXPECT_EQ(CommandLineVersion::versionText(empty), "Kelvane 0.0.0 (build 0)\n");
    EXPECT_EQ(AppContext::versionLabel(empty), "v? (build ?)");

    const BundleInfo noBuild{"2.0.0", std::nullopt};
    EXPECT_EQ(CommandLineVersion::versionText(noBuild), "Kelvane 2.0.0 (build 0)\n");
    EXPECT_EQ(AppContext::versionLabel(noBuild), "v2.0.0 (build ?)");
}

TEST(VersionTextsTest, TheBuildProvidesTheVersionValues)
{
    const BundleInfo info = BundleInfo::main();
    ASSERT_TRUE(info.shortVersion);
    EXPECT_EQ(*info.shortVersion, KELVANE_VERSION);
    // An empty build number configured at build time counts as missing.
    EXPECT_EQ(info.buildNumber.has_value(), std::string(KELVANE_BUILD).size() > 0);
    EXPECT_EQ(CommandLineVersion::versionText(), "Kelvane " + *info.shortVersion + " (build "
                                                     + info.buildNumber.value_or("0") + ")\n");
}

TEST(VersionTextsTest, HelpUsageLinesShareOneDescriptionColumn)
{
    const std::string help = CommandLineHelp::helpText("/opt/kelvane/bin/kelvane");
    ASSERT_TRUE(help.ends_with("ウィンドウを開こうとした\n"));
    EXPECT_FALSE(help.ends_with("\n\n"));

    std::istringstream lines(help);
    std::vector<std::size_t> columns;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_FALSE(line.ends_with(" ")) << line;
        if (line.starts_with("  kelvane")) {
            // Everything before the description is ASCII, so bytes are columns.
            const std::size_t gap = line.find("   ");
            ASSERT_NE(gap, std::string::npos) << line;
            columns.push_back(line.find_first_not_of(' ', gap));
        }
    }
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_NE(help.find("  0 3 * * 0 /opt/kelvane/bin/kelvane --auto-recompress\n"), std::string::npos);
    EXPECT_NE(CommandLineHelp::helpText({}).find("  0 3 * * 0 kelvane --auto-recompress\n"), std::string::npos);
    for (std::size_t column : columns)
        EXPECT_EQ(column, columns.front());
}

}  // namespace
}  // namespace kelvane::app
