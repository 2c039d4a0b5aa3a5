// SPDX-License-Identifier: MIT
#include "operations/windows/SettingsModel.h"

#include "OperationsTestSupport.h"
#include "platform/qt/Settings.h"
#include "platform/qt/SettingsNotifier.h"

#include <QSignalSpy>

#include <filesystem>
#include <utility>
#include <vector>

namespace kelvane::operations::test {
namespace {

namespace keys = platform::settings_keys;
using Retention = SettingsModel::Retention;

class SettingsModelTest : public HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        settings_ = std::make_unique<platform::Settings>();
    }

    SettingsModel::Reschedule recorder()
    {
        return [this](bool enabled, std::int64_t count) { reschedules_.emplace_back(enabled, count); };
    }

    std::unique_ptr<platform::Settings> settings_;
    std::vector<std::pair<bool, std::int64_t>> reschedules_;
};

TEST_F(SettingsModelTest, AChangeInOneWindowIsStoredAndReachesEveryOtherOnce)
{
    SettingsModel here(*settings_, recorder());
    platform::Settings elsewhere;  // another window's settings object
    SettingsModel there(elsewhere, {});
    QSignalSpy seenThere(&there, &SettingsModel::changed);
    QSignalSpy seenHere(&here, &SettingsModel::changed);

    EXPECT_EQ(there.ratioDisplayMode(), display::RatioDisplayMode::remaining);
    ASSERT_TRUE(here.setRatioDisplayMode(display::RatioDisplayMode::reduction));
    EXPECT_EQ(there.ratioDisplayMode(), display::RatioDisplayMode::reduction);
    EXPECT_EQ(settings_->value(keys::ratioDisplayMode), "reduction");

    settings_->setValue(keys::registeredItemCountCache, std::int64_t{4});
    ASSERT_TRUE(here.setWeeklyReminderEnabled(false));
    EXPECT_FALSE(there.weeklyReminderEnabled());
    EXPECT_EQ(reschedules_, (std::vector<std::pair<bool, std::int64_t>>{{false, 4}}));

    ASSERT_EQ(seenThere.size(), 2);
    EXPECT_EQ(seenThere[0][0].value<UserSetting>(), UserSetting::ratioDisplayMode);
    EXPECT_EQ(seenThere[1][0].value<UserSetting>(), UserSetting::weeklyReminderEnabled);
    EXPECT_EQ(seenHere.size(), 2);  // its own writes, told once each

    // A key no window of this model shows is not its change.
    platform::SettingsNotifier::instance().notifyChanged(QStringLiteral("minStarsFilter"));
    EXPECT_EQ(seenThere.size(), 2);
}

TEST_F(SettingsModelTest, RetentionStepsStayInRangeAndAStoredOutlierIsShownUntilTheFirstStep)
{
    SettingsModel model(*settings_, {});
    EXPECT_EQ(model.retention(Retention::days), 90);
    EXPECT_EQ(model.retention(Retention::maxCount), 10000);
    ASSERT_TRUE(model.stepRetention(Retention::maxCount, -1));
    EXPECT_EQ(settings_->value(keys::logRetentionMaxCount), 9000);

    settings_->setValue(keys::logRetentionDays, std::int64_t{365});
    EXPECT_FALSE(model.canStep(Retention::days, +1));
    EXPECT_TRUE(model.canStep(Retention::days, -1));
    QSignalSpy changed(&model, &SettingsModel::changed);
    EXPECT_TRUE(model.stepRetention(Retention::days, +1));  // at the bound: nothing to write
    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(model.retention(Retention::days), 365);

    settings_->setValue(keys::logRetentionDays, std::int64_t{500});
    settings_->setValue(keys::logRetentionMaxCount, std::int64_t{0});
    EXPECT_EQ(model.retention(Retention::days), 500);
    EXPECT_FALSE(model.canStep(Retention::days, +1));
    EXPECT_FALSE(model.canStep(Retention::maxCount, -1));
    model.stepRetention(Retention::days, -1);
    model.stepRetention(Retention::maxCount, +1);
    EXPECT_EQ(model.retention(Retention::days), 365);
    EXPECT_EQ(model.retention(Retention::maxCount), 1000);

    settings_->setValue(keys::logRetentionDays, std::int64_t{1});
    settings_->setValue(keys::logRetentionMaxCount, std::int64_t{99500});
    EXPECT_FALSE(model.canStep(Retention::days, -1));
    model.stepRetention(Retention::maxCount, +1);
    EXPECT_EQ(model.retention(Retention::maxCount), 100000);
}

TEST_F(SettingsModelTest, AWriteThatFailsIsReportedAndNeitherAnnouncedNorRescheduled)
{
    settings_->setValue(keys::registeredItemCountCache, std::int64_t{3});
    SettingsModel model(*settings_, recorder());
    // The file cannot be replaced any more: a folder took its name
    // (permissions would not stop root).
    const std::filesystem::path file = settings_->file();
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    QSignalSpy announced(&platform::SettingsNotifier::instance(), &platform::SettingsNotifier::changed);
    QSignalSpy failed(&model, &SettingsModel::saveFailed);

    EXPECT_FALSE(model.setRatioDisplayMode(display::RatioDisplayMode::reduction));
    EXPECT_FALSE(model.setWeeklyReminderEnabled(false));
    EXPECT_FALSE(model.stepRetention(Retention::days, +1));

    EXPECT_EQ(model.ratioDisplayMode(), display::RatioDisplayMode::remaining);
    EXPECT_TRUE(model.weeklyReminderEnabled());
    EXPECT_EQ(model.retention(Retention::days), 90);
    EXPECT_TRUE(reschedules_.empty());
    EXPECT_EQ(announced.size(), 0);
    ASSERT_EQ(failed.size(), 3);
    EXPECT_EQ(failed[2][0].value<UserSetting>(), UserSetting::logRetentionDays);
    EXPECT_EQ(model.fileName(), QString::fromStdString(file.string()));
}

}  // namespace
}  // namespace kelvane::operations::test
