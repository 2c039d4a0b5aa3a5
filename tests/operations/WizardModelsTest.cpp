// SPDX-License-Identifier: MIT
// The wizard's models driven as its sheet and detail page drive them, with no
// window: a preset folder is scanned, sorted, picked from and registered, and
// the list tells what happened.
#include "OperationsTestSupport.h"

#include "operations/sheets/WizardPresetScanModel.h"
#include "operations/sheets/WizardSheetModel.h"
#include "store/RegisteredItem.h"

#include <QPointer>

#include <fstream>

namespace kelvane::operations::test {
namespace {

namespace fs = std::filesystem;

class WizardModelsTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        folder_ = dir_.path() / "Logs";
        preset_.id = "testlogs";
        preset_.title = "Test logs";
        preset_.resolvedPath = folder_;
        preset_.priorityExtensions = std::vector<std::string>{"log"};
    }

    std::unique_ptr<WizardPresetScanModel> scanModel()
    {
        return std::make_unique<WizardPresetScanModel>(
            preset_, container_->mainContext(),
            [this](const WizardSheetModel::DetailRegistration& outcome) { outcomes_.push_back(outcome); });
    }

    static void scan(WizardPresetScanModel& model)
    {
        model.startScan();
        ASSERT_TRUE(waitUntil([&] { return !model.isScanning(); }));
    }

    static std::vector<std::string> names(const WizardPresetScanModel& model)
    {
        std::vector<std::string> result;
        for (const WizardCandidate& candidate : model.displayedCandidates())
            result.push_back(candidate.name());
        return result;
    }

    fs::path folder_;
    WizardPreset preset_;
    std::vector<WizardSheetModel::DetailRegistration> outcomes_;
};

TEST_F(WizardModelsTest, AScanFindsLargeEnoughFilesOfThePresetsKindsLargestFirst)
{
    writeFile(folder_ / "small.log", WizardPresetScanModel::minimumSize - 1);
    writeFile(folder_ / "a.log", 100'000);
    writeFile(folder_ / "deep/b.log", 300'000);
    writeFile(folder_ / "other.bin", 500'000);
    writeFile(folder_ / ".hidden.log", 400'000);
    auto model = scanModel();
    scan(*model);
    EXPECT_FALSE(model->scanError().has_value());
    EXPECT_EQ(names(*model), (std::vector<std::string>{"b.log", "a.log"}));
    EXPECT_EQ(model->progress().matched, 2);

    model->setSortOrder({{WizardCandidate::Key::name, SortKey<WizardCandidate::Key>::Order::forward}});
    EXPECT_EQ(names(*model), (std::vector<std::string>{"a.log", "b.log"}));

    // Without the extension filter the other kinds are candidates too (a
    // change of filter scans again by itself).
    model->setUseExtensionFilter(false);
    ASSERT_TRUE(waitUntil([&] { return !model->isScanning(); }));
    EXPECT_EQ(names(*model), (std::vector<std::string>{"a.log", "b.log", "other.bin"}));
}

TEST_F(WizardModelsTest, AtMostTheDisplayLimitIsShownAndSelectAllPicksWhatIsShown)
{
    for (std::size_t i = 0; i < WizardPresetScanModel::displayLimit + 5; ++i)
        writeFile(folder_ / ("f" + std::to_string(i) + ".log"), WizardPresetScanModel::minimumSize + i);
    auto model = scanModel();
    scan(*model);
    EXPECT_EQ(model->candidates().size(), WizardPresetScanModel::displayLimit + 5);
    const auto shown = model->displayedCandidates();
    ASSERT_EQ(shown.size(), WizardPresetScanModel::displayLimit);
    EXPECT_EQ(shown.front().name(), "f204.log");

    model->selectAll();
    EXPECT_EQ(model->selection().size(), WizardPresetScanModel::displayLimit);
    EXPECT_FALSE(model->selection().contains(folder_ / "f0.log")) << "the smallest are not shown";
    model->setSelected(folder_ / "f204.log", false);
    EXPECT_EQ(model->selection().size(), WizardPresetScanModel::displayLimit - 1);
    model->clearSelection();
    EXPECT_TRUE(model->selection().empty());
}

TEST_F(WizardModelsTest, ARegistrationReportsItsCountsAndTheListTellsThemAndGoesBack)
{
    writeFile(folder_ / "a.log", 100'000);
    writeFile(folder_ / "b.log", 200'000);
    auto model = scanModel();
    scan(*model);
    model->setSelection({folder_ / "a.log", folder_ / "b.log"});
    model->registerSelection();
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].registered, 2);
    EXPECT_EQ(outcomes_[0].failed, 0);
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 2u);

    WizardSheetModel sheet(container_->mainContext());
    sheet.inspect(preset_);
    ASSERT_EQ(sheet.navigationPath().size(), 1u);
    sheet.announceRegistered(outcomes_[0], preset_);
    EXPECT_TRUE(sheet.navigationPath().empty());
    ASSERT_TRUE(sheet.toast().has_value());
    EXPECT_EQ(sheet.toast()->style, WizardSheetModel::Toast::Style::success);
    EXPECT_EQ(sheet.toast()->message, QStringLiteral("Test logs から 2 件を登録しました"));

    // A failure among them is never told as a plain success.
    const std::uint64_t firstToast = sheet.toast()->id;
    sheet.announceRegistered({1, 0, 1, QStringLiteral("disk full")}, preset_);
    EXPECT_EQ(sheet.toast()->style, WizardSheetModel::Toast::Style::failure);
    EXPECT_TRUE(sheet.toast()->message.endsWith(QStringLiteral("disk full")));
    EXPECT_NE(sheet.toast()->id, firstToast);
}

TEST_F(WizardModelsTest, AMissingFolderEndsTheScanWithTheErrorAndARestartDropsTheOldScan)
{
    auto model = scanModel();
    model->startScan();
    EXPECT_FALSE(model->isScanning());
    ASSERT_TRUE(model->scanError().has_value());
    EXPECT_TRUE(model->scanError()->startsWith(QStringLiteral("対象フォルダが見つかりません: ")));

    for (int i = 0; i < 50; ++i)
        writeFile(folder_ / ("f" + std::to_string(i) + ".log"), WizardPresetScanModel::minimumSize);
    model->startScan();
    model->startScan();  // the first scan's reports are dropped
    ASSERT_TRUE(waitUntil([&] { return !model->isScanning(); }));
    EXPECT_FALSE(model->scanError().has_value());
    EXPECT_EQ(model->candidates().size(), 50u) << "no file twice";

    model->startScan();
    model->cancelScan();
    ASSERT_TRUE(waitUntil([&] { return !model->isScanning(); }));
    EXPECT_FALSE(model->scanError().has_value()) << "a stop is no failure";
}

TEST_F(WizardModelsTest, TheListRegistersWholeFoldersOnceAndMeasuresThem)
{
    writeFile(folder_ / "a.log", 1000);
    writeFile(folder_ / "sub/b.log", 2000);
    writeFile(folder_ / ".hidden/c.log", 4000);
    EXPECT_EQ(WizardSheetModel::folderTotalSize(folder_), 3000);
    EXPECT_TRUE(WizardSheetModel::isPresent(preset_));
    WizardPreset absent = preset_;
    absent.resolvedPath = dir_.path() / "none";
    EXPECT_FALSE(WizardSheetModel::isPresent(absent));

    WizardSheetModel sheet(container_->mainContext());
    sheet.registerAllPreset(preset_);
    EXPECT_TRUE(sheet.registeredIDs().contains("testlogs"));
    EXPECT_EQ(sheet.toast()->message, QStringLiteral("登録しました: Test logs"));
    sheet.registerAllPreset(preset_);
    EXPECT_EQ(sheet.toast()->message, QStringLiteral("すでに登録済みです: Test logs"));
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 1u);

    // The presets themselves are measured where their folders exist.
    fs::create_directories(dir_.path() / "Downloads");
    writeFile(dir_.path() / "Downloads/x.bin", 5000);
    sheet.measurePresetSizes();
    int measured = 0;
    for (const WizardPreset& preset : sheet.presets()) {
        if (!WizardSheetModel::isPresent(preset))
            continue;
        ASSERT_TRUE(waitUntil([&] { return sheet.sizeOf(preset.id).has_value(); })) << preset.id;
        EXPECT_EQ(sheet.sizeOf(preset.id), WizardSheetModel::folderTotalSize(preset.resolvedPath)) << preset.id;
        ++measured;
    }
    EXPECT_GE(measured, 1) << "the downloads folder is a preset";
    EXPECT_EQ(sheet.sizeOf("testlogs"), std::nullopt) << "only the presets are measured";
}

}  // namespace
}  // namespace kelvane::operations::test
