// SPDX-License-Identifier: MIT
#include "app/LaunchRecord.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kelvane::app {
namespace {

namespace keys = platform::settings_keys;

TEST(LaunchRecordTest, FirstAndSecondLaunch)
{
    test::TempDir dir;
    platform::Settings settings(dir / "Kelvane.conf");
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    const QDateTime second = first.addSecs(3600);

    ASSERT_TRUE(recordLaunch(settings, first));
    EXPECT_EQ(settings.value(keys::lastLaunchAt), first);
    EXPECT_EQ(settings.value(keys::firstLaunchAt), first);
    EXPECT_FALSE(settings.value(keys::previousLaunchAt));
    EXPECT_FALSE(settings.contains(keys::previousLaunchAt.name));
    EXPECT_EQ(settings.value(keys::launchCount), 1);

    ASSERT_TRUE(recordLaunch(settings, second));
    EXPECT_EQ(settings.value(keys::previousLaunchAt), first);
    EXPECT_EQ(settings.value(keys::lastLaunchAt), second);
    EXPECT_EQ(settings.value(keys::firstLaunchAt), first);
    EXPECT_EQ(settings.value(keys::launchCount), 2);

    // Another reader of the same file sees the record (milliseconds kept).
    platform::Settings reader(dir / "Kelvane.conf");
    EXPECT_EQ(reader.value(keys::lastLaunchAt), second);
    EXPECT_EQ(reader.value(keys::launchCount), 2);
}

TEST(LaunchRecordTest, ValuesOfTheWrongTypeAreNotCarriedOver)
{
    test::TempDir dir;
    {
        std::ofstream file(dir / "Kelvane.conf");
        file << "[General]\nlastLaunchAt=yesterday\nfirstLaunchAt=42\nlaunchCount=many\n";
    }
    platform::Settings settings(dir / "Kelvane.conf");
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

    ASSERT_TRUE(recordLaunch(settings, now));
    EXPECT_FALSE(settings.value(keys::previousLaunchAt));  // a non-date "lastLaunchAt" is ignored
    EXPECT_EQ(settings.value(keys::lastLaunchAt), now);
    EXPECT_EQ(settings.value(keys::firstLaunchAt), now);
    EXPECT_EQ(settings.value(keys::launchCount), 1);
}

TEST(LaunchRecordTest, AnUnwritableSettingsFileIsReported)
{
    test::TempDir dir;
    // A file where the settings folder should be: no permission bit helps here, not even root's.
    test::writeRawFile(dir / "blocked", {'x'});
    platform::Settings settings(dir / "blocked" / "Kelvane.conf");
    EXPECT_FALSE(recordLaunch(settings, QDateTime::currentDateTimeUtc()));
}

}  // namespace
}  // namespace kelvane::app
