// SPDX-License-Identifier: MIT
#include "platform/qt/Settings.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kelvane::platform {
namespace {

namespace keys = settings_keys;

void writeConf(const std::filesystem::path& file, const std::string& body)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file);
    out << "[General]\n" << body;
}

// A file without the keys and one whose every value has the wrong type read
// the same: the declared defaults.
TEST(SettingsTest, AbsentKeysAndValuesOfTheWrongTypeReadTheDeclaredDefaults)
{
    test::TempDir dir;
    writeConf(dir / "wrong.conf",
              "logRetentionDays=ninety\n"
              "logRetentionMaxCount=true\n"
              "minStarsFilter=2.5\n"
              "launchCount=12abc\n"
              "weeklyReminderEnabled=0\n"
              "hasShownFirstLaunchAbout=yes\n"
              "ratioDisplayMode=a, b\n"  // a list is not a text
              "lastLaunchAt=2024-13-45T99:00:00Z\n"
              "firstLaunchAt=17\n"
              "statusFilter=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\0\\x5)\n");  // a typed number is not a text
    for (const char* file : {"none.conf", "wrong.conf"}) {
        SCOPED_TRACE(file);
        const Settings settings(dir / file);
        EXPECT_EQ(settings.value(keys::ratioDisplayMode).toStdString(), "remaining");
        EXPECT_EQ(settings.value(keys::minStarsFilter), 0);
        EXPECT_EQ(settings.value(keys::statusFilter).toStdString(), "all");
        EXPECT_EQ(settings.value(keys::sizeFilter).toStdString(), "all");
        EXPECT_EQ(settings.value(keys::kindFilter).toStdString(), "all");
        EXPECT_EQ(settings.value(keys::logRetentionDays), 90);
        EXPECT_EQ(settings.value(keys::logRetentionMaxCount), 10000);
        EXPECT_TRUE(settings.value(keys::weeklyReminderEnabled));
        EXPECT_FALSE(settings.value(keys::hasShownFirstLaunchAbout));
        EXPECT_EQ(settings.value(keys::launchCount), 0);
        EXPECT_FALSE(settings.value(keys::lastLaunchAt));
        EXPECT_FALSE(settings.value(keys::firstLaunchAt));
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "none.conf"));  // reading creates nothing
}

TEST(SettingsTest, WellFormedValuesAreRead)
{
    test::TempDir dir;
    writeConf(dir / "k.conf",
              "logRetentionDays=30\n"
              "logRetentionMaxCount=-5\n"
              "weeklyReminderEnabled=false\n"
              "hasShownFirstLaunchAbout=true\n"
              "kindFilter=folder\n"
              "lastLaunchAt=2024-02-29T23:59:30.250Z\n");
    const Settings settings(dir / "k.conf");
    EXPECT_EQ(settings.value(keys::logRetentionDays), 30);
    EXPECT_EQ(settings.value(keys::logRetentionMaxCount), -5);  // in range checks belong to the reader
    EXPECT_FALSE(settings.value(keys::weeklyReminderEnabled));
    EXPECT_TRUE(settings.value(keys::hasShownFirstLaunchAbout));
    EXPECT_EQ(settings.value(keys::kindFilter).toStdString(), "folder");
    EXPECT_EQ(settings.value(keys::lastLaunchAt), QDateTime::fromMSecsSinceEpoch(1'709'251'170'250, Qt::UTC));
}

TEST(SettingsTest, WritesReachTheFileAtOnceAndRoundTrip)
{
    test::TempDir dir;
    dir.useAsHome();
    EXPECT_EQ(Settings::defaultFile(), dir.path() / ".config/Kelvane/Kelvane.conf");

    Settings writer;
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(1'700'000'000'001, Qt::UTC);
    ASSERT_TRUE(writer.setValue(keys::ratioDisplayMode, QStringLiteral("reduction")));
    ASSERT_TRUE(writer.setValue(keys::logRetentionMaxCount, 123456789012LL));
    ASSERT_TRUE(writer.setValue(keys::weeklyReminderEnabled, false));
    ASSERT_TRUE(writer.setValue(keys::firstLaunchAt, date));
    ASSERT_TRUE(writer.setValue(keys::kindFilter, QStringLiteral("日本語, with comma = and \"quotes\"")));

    // A second object (as another window or process would have) reads the file itself.
    const Settings reader(dir.path() / ".config/Kelvane/Kelvane.conf");
    EXPECT_EQ(reader.value(keys::ratioDisplayMode).toStdString(), "reduction");
    EXPECT_EQ(reader.value(keys::logRetentionMaxCount), 123456789012LL);
    EXPECT_FALSE(reader.value(keys::weeklyReminderEnabled));
    EXPECT_EQ(reader.value(keys::firstLaunchAt), date);
    EXPECT_EQ(reader.value(keys::kindFilter).toStdString(), "日本語, with comma = and \"quotes\"");

    ASSERT_TRUE(writer.remove(keys::weeklyReminderEnabled.name));
    EXPECT_FALSE(writer.contains(keys::weeklyReminderEnabled.name));
    EXPECT_TRUE(Settings(writer.file()).value(keys::weeklyReminderEnabled));

    // XDG_CONFIG_HOME is followed when absolute and ignored otherwise.
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(Settings::defaultFile(), dir.path() / ".config/Kelvane/Kelvane.conf");
    ::setenv("XDG_CONFIG_HOME", (dir.path() / "elsewhere").c_str(), 1);
    EXPECT_EQ(Settings::defaultFile(), dir.path() / "elsewhere/Kelvane/Kelvane.conf");
    // Without HOME the account's home folder is used, never a path relative to the working folder.
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    EXPECT_TRUE(Settings::defaultFile().is_absolute()) << Settings::defaultFile();
}

TEST(SettingsTest, AFailedWriteIsReported)
{
    test::TempDir dir;
    test::writeRawFile(dir / "blocked", {'x'});
    Settings settings(dir / "blocked" / "Kelvane.conf");
    EXPECT_FALSE(settings.setValue(keys::launchCount, 1));
    EXPECT_EQ(test::readRawFile(dir / "blocked"), std::vector<std::uint8_t>{'x'});
    // What did not reach the file is not read back, by this object or another.
    EXPECT_EQ(settings.value(keys::launchCount), 0);
    EXPECT_FALSE(settings.contains(keys::launchCount.name));

    // A key that held a value keeps it when its change cannot be written.
    const auto file = dir / "conf" / "Kelvane.conf";
    writeConf(file, "ratioDisplayMode=reduction\n");
    Settings stored(file);
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_FALSE(stored.setValue(keys::ratioDisplayMode, QStringLiteral("remaining")));
    EXPECT_EQ(stored.value(keys::ratioDisplayMode).toStdString(), "reduction");
    EXPECT_EQ(Settings(file).value(keys::ratioDisplayMode).toStdString(), "reduction");
}

}  // namespace
}  // namespace kelvane::platform
