// SPDX-License-Identifier: MIT
#include "app/RunMode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::app {
namespace {

RunMode parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "/usr/bin/kelvane");
    return RunMode::parse(arguments);
}

TEST(RunModeTest, HelpBeatsVersionBeatsHeadlessWhateverTheOrder)
{
    EXPECT_EQ(parse({"--help"}), RunMode::help);
    EXPECT_EQ(parse({"-h"}), RunMode::help);
    EXPECT_EQ(parse({"--version", "--help"}), RunMode::help);
    EXPECT_EQ(parse({"--help", "--version"}), RunMode::help);
    EXPECT_EQ(parse({"--auto-recompress", "-V", "-h"}), RunMode::help);

    EXPECT_EQ(parse({"--version"}), RunMode::version);
    EXPECT_EQ(parse({"-V"}), RunMode::version);
    EXPECT_EQ(parse({"-V", "--auto-recompress"}), RunMode::version);
    EXPECT_EQ(parse({"--auto-recompress", "--version"}), RunMode::version);

    EXPECT_EQ(parse({"--auto-recompress"}), RunMode::headlessAutoRecompress);
    EXPECT_EQ(parse({"stray", "--auto-recompress", "--also-stray"}), RunMode::headlessAutoRecompress);
}

TEST(RunModeTest, AnythingUnrecognisedIsTheWindowedApp)
{
    EXPECT_EQ(parse({}), RunMode::gui);
    EXPECT_EQ(RunMode::parse(std::vector<std::string>{}), RunMode::gui);
    for (const char* near : {"--HELP", "-help", "-H", "help", "-v", "--Version", "--auto-recompress=1",
                             "--auto-recompress ", "-V1", ""})
        EXPECT_EQ(parse({near}), RunMode::gui) << '"' << near << '"';
    EXPECT_TRUE(parse({"--verbose"}).isGui());
    EXPECT_FALSE(parse({"-V"}).isGui());
}

TEST(RunModeTest, TheProgramPathIsNeverAnOption)
{
    // A program installed under the name of an option is still the app itself.
    EXPECT_EQ(RunMode::parse(std::vector<std::string>{"--help"}), RunMode::gui);
    EXPECT_EQ(RunMode::parse(std::vector<std::string>{"--auto-recompress", "-V"}), RunMode::version);

    const char* argv[] = {"-h", "--auto-recompress"};
    EXPECT_EQ(RunMode::parse(2, argv), RunMode::headlessAutoRecompress);
}

TEST(RunModeTest, EachModeComesFromTheCommandLineItIsGiven)
{
    // main() decides once, from its own argv, and hands the mode down; the
    // same program path with each option gives each mode.
    const std::pair<const char*, RunMode::Value> cases[] = {{nullptr, RunMode::gui},
                                                            {"--help", RunMode::help},
                                                            {"--version", RunMode::version},
                                                            {"--auto-recompress", RunMode::headlessAutoRecompress}};
    for (const auto& [option, expected] : cases) {
        const char* argv[] = {"/usr/bin/kelvane", option};
        EXPECT_EQ(RunMode::parse(option ? 2 : 1, argv), expected) << (option ? option : "(none)");
    }
}

TEST(RunModeTest, EveryArgumentThatIsNoOptionIsNamedInItsOrder)
{
    using Names = std::vector<std::string>;
    EXPECT_EQ(RunMode::unrecognised({"/usr/bin/kelvane"}), Names{});
    EXPECT_EQ(RunMode::unrecognised({}), Names{});
    EXPECT_EQ(RunMode::unrecognised({"/usr/bin/kelvane", "--auto-recompress", "-V", "-h", "--help", "--version"}),
              Names{});
    EXPECT_EQ(RunMode::unrecognised({"--weird-program-name", "--bogus", "--auto-recompress", "", "-V1", "--bogus"}),
              (Names{"--bogus", "", "-V1", "--bogus"}));
}

TEST(RunModeTest, ATypoIsTakenForTheLongOptionWithinTwoEdits)
{
    const std::pair<const char*, const char*> typos[] = {
        {"--auto-recompres", "--auto-recompress"}, {"--autorecompress", "--auto-recompress"},
        {"--auto-recompress=1", "--auto-recompress"}, {"--Auto-Recompress", "--auto-recompress"},
        {"--verison", "--version"}, {"-version", "--version"}, {"--HELP", "--help"}, {"-help", "--help"},
        {"--hlep", "--help"}};
    for (const auto& [typo, meant] : typos) {
        const auto guess = RunMode::likelyMeant(typo);
        ASSERT_TRUE(guess) << typo;
        EXPECT_EQ(*guess, meant) << typo;
    }
    for (const char* other : {"--bogus", "help", "auto-recompress", "-x", "-v", "", "--", "--auto", "--verbose"})
        EXPECT_FALSE(RunMode::likelyMeant(other)) << '"' << other << '"';
}

}  // namespace
}  // namespace kelvane::app
