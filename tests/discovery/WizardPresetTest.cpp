// SPDX-License-Identifier: MIT
#include "discovery/WizardPreset.h"

#include "support/EveryField.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

namespace kd = kelvane::discovery;
using kd::WizardPreset;

namespace {

// The XDG variables unset, so the folders follow the home folder.
struct PlainXdg {
    kelvane::test::ScopedEnvironment cache{"XDG_CACHE_HOME", std::nullopt};
    kelvane::test::ScopedEnvironment state{"XDG_STATE_HOME", std::nullopt};
};

TEST(WizardPresetTest, NinePresetsInOrderInTheUsersLinuxFolders) {
    kelvane::test::TempDir temp;
    temp.useAsHome();
    PlainXdg xdg;
    const auto presets = WizardPreset::all();
    ASSERT_EQ(presets.size(), 9u);
    const std::vector<std::string> ids{"deriveddata", "iosdevsupport", "archives", "coresimulator", "caches",
                                       "logs", "downloads", "iphonebackup", "garageband"};
    std::set<std::string> unique;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ(presets[i].id, ids[i]);
        unique.insert(presets[i].id);
        // Nothing of the other platform's folders is left.
        EXPECT_EQ(presets[i].resolvedPath.string().find("Library"), std::string::npos) << presets[i].id;
        EXPECT_FALSE(presets[i].title.empty() || presets[i].subtitle.empty()) << presets[i].id;
        EXPECT_LT(presets[i].expectedReductionRange.lowerBound, presets[i].expectedReductionRange.upperBound);
    }
    EXPECT_EQ(unique.size(), 9u);
    const auto& home = temp.path();
    const std::vector<std::filesystem::path> folders{
        home / ".cache/go-build", home / ".cache/debuginfod_client", home / ".rustup/toolchains",
        home / ".android/avd",    home / ".cache",                  home / ".local/state",
        home / "Downloads",       home / "Android/Sdk",             home / ".local/share/Steam/steamapps/common"};
    for (std::size_t i = 0; i < presets.size(); ++i) EXPECT_EQ(presets[i].resolvedPath, folders[i]) << ids[i];

    // Symbols and categories stay with their ids.
    EXPECT_EQ(presets[0].icon, "hammer.fill");
    EXPECT_EQ(presets[0].category, WizardPreset::Category::build);
    EXPECT_EQ(presets[4].category, WizardPreset::Category::cache);
    EXPECT_EQ(presets[5].category, WizardPreset::Category::logs);
    EXPECT_EQ(presets[6].category, WizardPreset::Category::download);
    EXPECT_EQ(presets[8].icon, "music.note");
    EXPECT_EQ(presets[5].priorityExtensions, (std::vector<std::string>{"log", "txt"}));
    EXPECT_EQ(presets[5].volatilityWarning,
              "現在書き込み中のログ（開発ツール / 常駐 daemon 等）は、追記のたびに圧縮が剥がれます。30 日以上更新がないファイルだけを対象にするのが安全です。");
    // Go's cache entries carry no extension: every file counts.
    EXPECT_FALSE(presets[0].priorityExtensions);
    for (int i : {1, 2, 6, 8}) {
        EXPECT_FALSE(presets[i].volatilityWarning) << presets[i].id;
        EXPECT_FALSE(presets[i].recommendedMinimumAgeDays) << presets[i].id;
    }
    for (int i : {4, 7}) EXPECT_FALSE(presets[i].priorityExtensions) << presets[i].id;
    EXPECT_EQ(presets[4].recommendedMinimumAgeDays, 14);

    // The home folder is read on every call.
    kelvane::test::TempDir other;
    other.useAsHome();
    EXPECT_EQ(WizardPreset::all()[2].resolvedPath, other.path() / ".rustup/toolchains");
}

TEST(WizardPresetTest, CacheStateAndDownloadFoldersFollowTheXdgSettings) {
    kelvane::test::TempDir temp;
    temp.useAsHome();
    kelvane::test::ScopedEnvironment cache("XDG_CACHE_HOME", (temp.path() / "c").string());
    kelvane::test::ScopedEnvironment state("XDG_STATE_HOME", (temp.path() / "s/").string());
    auto presets = WizardPreset::all();
    EXPECT_EQ(presets[0].resolvedPath, temp.path() / "c/go-build");
    EXPECT_EQ(presets[1].resolvedPath, temp.path() / "c/debuginfod_client");
    EXPECT_EQ(presets[4].resolvedPath, temp.path() / "c");
    EXPECT_EQ(presets[5].resolvedPath, temp.path() / "s");
    {
        // A relative value is not a folder of the rules: ignored.
        kelvane::test::ScopedEnvironment relative("XDG_CACHE_HOME", "rel/cache");
        EXPECT_EQ(WizardPreset::all()[4].resolvedPath, temp.path() / ".cache");
    }

    const auto dirs = temp.path() / ".config/user-dirs.dirs";
    const auto downloadsWith = [&](const std::string& text) {
        std::ofstream(dirs, std::ios::trunc) << text;
        return WizardPreset::all()[6].resolvedPath;
    };
    EXPECT_EQ(downloadsWith("# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n"
                            "XDG_DOWNLOAD_DIR=\"$HOME/ダウンロード\"\n"),
              temp.path() / "ダウンロード");
    EXPECT_EQ(downloadsWith("XDG_DOWNLOAD_DIR=\"/data/dl\"\n"), "/data/dl");
    EXPECT_EQ(downloadsWith("XDG_DOWNLOAD_DIR=\"$HOME/My \\\"DL\\\"\"\n"), temp.path() / "My \"DL\"");
    // Set to the home folder itself means no download folder there.
    EXPECT_EQ(downloadsWith("XDG_DOWNLOAD_DIR=\"$HOME/\"\n"), temp.path() / "Downloads");
    EXPECT_EQ(downloadsWith("XDG_DOWNLOAD_DIR=relative/dl\n"), temp.path() / "Downloads");
    EXPECT_EQ(downloadsWith("XDG_DOWNLOADS_DIR=\"$HOME/x\"\n"), temp.path() / "Downloads");
    std::filesystem::remove(dirs);
    EXPECT_EQ(WizardPreset::all()[6].resolvedPath, temp.path() / "Downloads");
}

TEST(WizardPresetTest, DisplayPathShowsHomeAsTilde) {
    kelvane::test::TempDir temp;
    temp.useAsHome();
    PlainXdg xdg;
    const auto presets = WizardPreset::all();
    EXPECT_EQ(presets[4].displayPath(), "~/.cache");
    EXPECT_EQ(presets[6].displayPath(), "~/Downloads");
    EXPECT_EQ(presets[8].displayPath(), "~/.local/share/Steam/steamapps/common");

    auto preset = presets[6];
    preset.resolvedPath = temp.path();
    EXPECT_EQ(preset.displayPath(), "~");
    // The prefix test includes the "/": a sibling whose name extends home's.
    preset.resolvedPath = temp.path().string() + "b/x";
    EXPECT_EQ(preset.displayPath(), temp.path().string() + "b/x");
    preset.resolvedPath = "/elsewhere/Downloads";
    EXPECT_EQ(preset.displayPath(), "/elsewhere/Downloads");
}

TEST(WizardPresetTest, EqualityCoversEveryField) {
    kelvane::test::TempDir temp;
    temp.useAsHome();
    const auto all = WizardPreset::all();
    EXPECT_EQ(all, WizardPreset::all());
    const auto logs = *std::find_if(all.begin(), all.end(), [](const WizardPreset& p) { return p.id == "logs"; });
    ASSERT_TRUE(logs.priorityExtensions && logs.recommendedMinimumAgeDays && logs.volatilityWarning);
    using Change = kelvane::test::FieldChange<WizardPreset>;
    kelvane::test::expectEqualityCoversEveryField(
        logs, {Change{"id", [](WizardPreset& p) { p.id += "x"; }},
               Change{"title", [](WizardPreset& p) { p.title += "x"; }},
               Change{"subtitle", [](WizardPreset& p) { p.subtitle += "x"; }},
               Change{"resolvedPath", [](WizardPreset& p) { p.resolvedPath /= "x"; }},
               Change{"icon", [](WizardPreset& p) { p.icon += "x"; }},
               Change{"category", [](WizardPreset& p) { p.category = WizardPreset::Category::archive; }},
               Change{"expectedReductionRange", [](WizardPreset& p) { ++p.expectedReductionRange.upperBound; }},
               Change{"priorityExtensions", [](WizardPreset& p) { p.priorityExtensions->push_back("x"); }},
               Change{"recommendedMinimumAgeDays", [](WizardPreset& p) { ++*p.recommendedMinimumAgeDays; }},
               Change{"volatilityWarning", [](WizardPreset& p) { p.volatilityWarning = std::nullopt; }}});
    using RangeChange = kelvane::test::FieldChange<WizardPreset::ReductionRange>;
    kelvane::test::expectEqualityCoversEveryField(
        WizardPreset::ReductionRange{10, 20},
        {RangeChange{"lowerBound", [](WizardPreset::ReductionRange& r) { ++r.lowerBound; }},
         RangeChange{"upperBound", [](WizardPreset::ReductionRange& r) { ++r.upperBound; }}});
}

TEST(WizardPresetTest, CategoryRawValues) {
    EXPECT_EQ(kd::wizardCategoryFromRawValue("logs"), WizardPreset::Category::logs);
    EXPECT_EQ(kd::wizardCategoryFromRawValue("Logs"), std::nullopt);
    for (auto c : {WizardPreset::Category::build, WizardPreset::Category::archive, WizardPreset::Category::cache,
                   WizardPreset::Category::download, WizardPreset::Category::logs})
        EXPECT_EQ(kd::wizardCategoryFromRawValue(kd::rawValue(c)), c);
}

}  // namespace
