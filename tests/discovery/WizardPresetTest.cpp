#include "discovery/WizardPreset.h"

#include "support/EveryField.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kd = kelvane::discovery;
using kd::WizardPreset;

namespace {

TEST(WizardPresetTest, NinePresetsInOrderUnderTheCurrentHome) {
    kelvane::test::TempDir temp;
    temp.useAsHome();
    const auto presets = WizardPreset::all();
    ASSERT_EQ(presets.size(), 9u);
    const std::vector<std::string> ids{"deriveddata", "iosdevsupport", "archives", "coresimulator", "caches",
                                       "logs", "downloads", "iphonebackup", "garageband"};
    std::set<std::string> unique;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ(presets[i].id, ids[i]);
        unique.insert(presets[i].id);
    }
    EXPECT_EQ(unique.size(), 9u);
    EXPECT_EQ(presets[1].resolvedPath, temp.path() / "Library/Developer/Xcode/iOS DeviceSupport");
    EXPECT_EQ(presets[7].resolvedPath, temp.path() / "Library/Application Support/MobileSync/Backup");
    EXPECT_EQ(presets[4].title, "ユーザー Caches");
    EXPECT_EQ(presets[7].title, "iPhone / iPad バックアップ");
    EXPECT_EQ(presets[5].volatilityWarning,
              "現在書き込み中のログ（開発ツール / 常駐 daemon 等）は、追記のたびに圧縮が剥がれます。30 日以上更新がないファイルだけを対象にするのが安全です。");
    EXPECT_EQ(presets[0].priorityExtensions,
              (std::vector<std::string>{"o", "swiftmodule", "swiftdoc", "swiftsourceinfo", "framework", "dSYM"}));
    EXPECT_EQ(presets[5].expectedReductionRange, (WizardPreset::ReductionRange{60, 85}));
    EXPECT_EQ(presets[5].category, WizardPreset::Category::logs);

    for (int i : {1, 2, 6, 8}) {
        EXPECT_FALSE(presets[i].volatilityWarning) << presets[i].id;
        EXPECT_FALSE(presets[i].recommendedMinimumAgeDays) << presets[i].id;
    }
    for (int i : {4, 7}) EXPECT_FALSE(presets[i].priorityExtensions) << presets[i].id;
    EXPECT_EQ(presets[4].recommendedMinimumAgeDays, 14);

    // The home folder is read on every call.
    kelvane::test::TempDir other;
    other.useAsHome();
    EXPECT_EQ(WizardPreset::all()[6].resolvedPath, other.path() / "Downloads");
}

TEST(WizardPresetTest, DisplayPathShowsHomeAsTilde) {
    kelvane::test::TempDir temp;
    temp.useAsHome();
    const auto presets = WizardPreset::all();
    EXPECT_EQ(presets[4].displayPath(), "~/Library/Caches");
    EXPECT_EQ(presets[6].displayPath(), "~/Downloads");
    EXPECT_EQ(presets[1].displayPath(), "~/Library/Developer/Xcode/iOS DeviceSupport");

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
