// SPDX-License-Identifier: MIT
#include "display/Formatters.h"
#include "display/RatioDisplayMode.h"
#include "platform/qt/Settings.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

namespace kelvane::display {
namespace {

using platform::Settings;

// Runs the test body in a fixed time zone and puts the old one back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

TEST(FormattersTest, FormatBytesSwitchesToDecimalUnitsAbove999)
{
    const struct {
        std::int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 B"},
        {1, "1 B"},
        {999, "999 B"},
        {-500, "-500 B"},
        {-999, "-999 B"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"},  // halves to even
        {2500, "2 KB"},
        {2501, "3 KB"},
        {-1000, "-1 KB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"},  // rounds up into the next unit, never "1000 KB"
        {1'000'000, "1 MB"},
        {1'050'000, "1 MB"},  // 1.05 to one digit, halves to even
        {1'150'000, "1.2 MB"},
        {1'500'000, "1.5 MB"},
        {12'345'678, "12.3 MB"},
        {999'949'999, "999.9 MB"},
        {999'950'000, "1 GB"},
        {1'000'000'000, "1 GB"},
        {1'234'567'890, "1.23 GB"},
        {1'100'000'000, "1.1 GB"},
        {2'147'483'647, "2.15 GB"},
        {-1'234'567'890, "-1.23 GB"},
        {1'000'000'000'000, "1 TB"},
        {1'999'999'999'999'999, "2 PB"},
        {std::numeric_limits<std::int64_t>::max(), "9.22 EB"},
        {std::numeric_limits<std::int64_t>::min(), "-9.22 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatBytes(c.bytes).toStdString(), c.text) << c.bytes;
}

TEST(FormattersTest, FormatExactBytesGroupsEveryThreeDigits)
{
    EXPECT_EQ(formatExactBytes(0).toStdString(), "0 Bytes");
    EXPECT_EQ(formatExactBytes(999).toStdString(), "999 Bytes");
    EXPECT_EQ(formatExactBytes(1000).toStdString(), "1,000 Bytes");
    EXPECT_EQ(formatExactBytes(12345).toStdString(), "12,345 Bytes");
    EXPECT_EQ(formatExactBytes(123456).toStdString(), "123,456 Bytes");
    EXPECT_EQ(formatExactBytes(1234567).toStdString(), "1,234,567 Bytes");
    EXPECT_EQ(formatExactBytes(-1234567).toStdString(), "-1,234,567 Bytes");
    EXPECT_EQ(formatExactBytes(std::numeric_limits<std::int64_t>::min()).toStdString(),
              "-9,223,372,036,854,775,808 Bytes");

    // Unsigned counts past the signed range show as its largest count, never as a negative one.
    constexpr std::uint64_t most = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(signedByteCount(most), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(signedByteCount(most + 1), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(signedByteCount(std::numeric_limits<std::uint64_t>::max()), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(signedByteCount(12345), 12345);
}

TEST(FormattersTest, DatesAreShownInTheCurrentTimeZone)
{
    // 2024-02-29 23:59:30 UTC
    const QDateTime instant = QDateTime::fromSecsSinceEpoch(1709251170, Qt::UTC);
    {
        ScopedTimeZone zone("UTC");
        EXPECT_EQ(dateTimeFormatter().string(instant).toStdString(), "2024/02/29 23:59");
        EXPECT_EQ(dateFormatter().string(instant).toStdString(), "2024/02/29");
    }
    {
        ScopedTimeZone zone("Asia/Tokyo");
        EXPECT_EQ(dateTimeFormatter().string(instant).toStdString(), "2024/03/01 08:59");
        EXPECT_EQ(dateFormatter().string(instant).toStdString(), "2024/03/01");
        // The same moment given as a system clock value.
        const auto point = std::chrono::system_clock::time_point(std::chrono::seconds(1709251170));
        EXPECT_EQ(dateTimeFormatter().string(point).toStdString(), "2024/03/01 08:59");
    }
}

TEST(FormattersTest, DisplayPathShowsTheHomeFolderAsTilde)
{
    test::TempDir dir;
    dir.useAsHome();
    const std::string home = dir.path().string();

    EXPECT_EQ(displayPath(home).toStdString(), "~");
    EXPECT_EQ(displayPath(home + "/").toStdString(), "~");
    EXPECT_EQ(displayPath(home + "/Documents/report.txt").toStdString(), "~/Documents/report.txt");
    // A sibling whose name merely starts like the home folder is not inside it.
    EXPECT_EQ(displayPath(home + "-other/file").toStdString(), home + "-other/file");
    EXPECT_EQ(displayPath("/etc/hosts").toStdString(), "/etc/hosts");
    EXPECT_EQ(displayPath("relative/path").toStdString(), "relative/path");
    EXPECT_EQ(displayPath(home + "/日本語/ファイル.txt").toStdString(), "~/日本語/ファイル.txt");

    ::setenv("HOME", (home + "/").c_str(), 1);
    EXPECT_EQ(displayPath(home + "/a").toStdString(), "~/a");
    ::setenv("HOME", "/", 1);
    EXPECT_EQ(displayPath("/etc/hosts").toStdString(), "/etc/hosts");
}

TEST(FormattersTest, RatioDisplayModeWordsClampedRoundedPercentages)
{
    const RatioDisplayMode remaining = RatioDisplayMode::remaining;
    const RatioDisplayMode reduction = RatioDisplayMode::reduction;

    EXPECT_EQ(remaining.format(0.25).toStdString(), "原本の 25%");
    EXPECT_EQ(reduction.format(0.25).toStdString(), "75% 削減");
    EXPECT_EQ(remaining.format(0.004).toStdString(), "原本の 0%");
    EXPECT_EQ(reduction.format(0.004).toStdString(), "100% 削減");
    EXPECT_EQ(remaining.format(0.005).toStdString(), "原本の 1%");  // halves away from zero
    EXPECT_EQ(remaining.format(1.7).toStdString(), "原本の 100%");  // a file that grew
    EXPECT_EQ(reduction.format(1.7).toStdString(), "0% 削減");
    EXPECT_EQ(remaining.format(-0.3).toStdString(), "原本の 0%");
    EXPECT_EQ(reduction.format(-0.3).toStdString(), "100% 削減");
    EXPECT_EQ(remaining.format(std::numeric_limits<double>::quiet_NaN()).toStdString(), "原本の 100%");
    EXPECT_EQ(reduction.format(std::numeric_limits<double>::infinity()).toStdString(), "0% 削減");

    EXPECT_EQ(remaining.label().toStdString(), "原本比");
    EXPECT_EQ(reduction.label().toStdString(), "削減率");
    EXPECT_EQ(remaining.explanation().toStdString(), "原本比（例: 原本の 25%）");
    EXPECT_EQ(reduction.explanation().toStdString(), "削減率（例: 75% 削減）");

    ASSERT_EQ(RatioDisplayMode::allCases.size(), 2u);
    EXPECT_EQ(RatioDisplayMode::allCases[0], RatioDisplayMode::remaining);
    for (RatioDisplayMode mode : RatioDisplayMode::allCases)
        EXPECT_EQ(RatioDisplayMode::fromRawValue(mode.rawValue()), mode);
    EXPECT_EQ(RatioDisplayMode::fromRawValue(QStringLiteral("Remaining")), std::nullopt);
    EXPECT_EQ(RatioDisplayMode::fromRawValue(QString()), std::nullopt);

    test::TempDir dir;
    Settings settings(dir / "Kelvane.conf");
    EXPECT_EQ(RatioDisplayMode::fromSettings(settings), RatioDisplayMode::remaining);
    settings.setValue(platform::settings_keys::ratioDisplayMode, QStringLiteral("reduction"));
    EXPECT_EQ(RatioDisplayMode::fromSettings(settings), RatioDisplayMode::reduction);
    settings.setValue(platform::settings_keys::ratioDisplayMode, QStringLiteral("percent"));
    EXPECT_EQ(RatioDisplayMode::fromSettings(settings), RatioDisplayMode::remaining);
}

}  // namespace
}  // namespace kelvane::display
