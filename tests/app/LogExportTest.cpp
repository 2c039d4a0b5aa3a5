// SPDX-License-Identifier: MIT
#include "app/LogExport.h"

#include "platform/Logger.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

namespace kelvane::app {
namespace {

using std::chrono::system_clock;

platform::LogEntry entry(std::int64_t msSinceEpoch, int level, std::string category, std::string message,
                         std::string subsystem = platform::Logger::subsystem())
{
    return {system_clock::time_point(std::chrono::milliseconds(msSinceEpoch)), level, std::move(subsystem),
            std::move(category), std::move(message)};
}

class LogExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("TZ"))
            oldZone_ = old;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override
    {
        if (oldZone_.empty())
            ::unsetenv("TZ");
        else
            ::setenv("TZ", oldZone_.c_str(), 1);
        ::tzset();
    }

private:
    std::string oldZone_;
};

TEST_F(LogExportTest, RangeLabelWordsTheSpan)
{
    EXPECT_EQ(rangeLabel(0.5), "30 分");
    EXPECT_EQ(rangeLabel(0.25), "15 分");
    EXPECT_EQ(rangeLabel(0.0125), "1 分");  // 0.75 minutes, rounded
    EXPECT_EQ(rangeLabel(0.00833), "0 分");
    EXPECT_EQ(rangeLabel(1), "1 時間");
    EXPECT_EQ(rangeLabel(1.5), "1 時間");
    EXPECT_EQ(rangeLabel(25), "25 時間");
    EXPECT_EQ(rangeLabel(36), "36 時間");
    EXPECT_EQ(rangeLabel(24), "1 日");
    EXPECT_EQ(rangeLabel(48), "2 日");
    EXPECT_EQ(rangeLabel(168), "7 日");
}

TEST_F(LogExportTest, FileNameCarriesTheLocalTime)
{
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(1'709'251'170'999, Qt::UTC);  // 2024-02-29 23:59:30.999
    EXPECT_EQ(exportFileName(date), "Kelvane-log-20240229-235930.txt");
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    EXPECT_EQ(exportFileName(date), "Kelvane-log-20240301-085930.txt");
}

TEST_F(LogExportTest, TextHasHeaderEntriesAndTotal)
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(1'709'251'170'005, Qt::UTC);
    const std::vector<platform::LogEntry> entries{
        entry(1'709'250'000'007, 2, "cli", "--auto-recompress start"),
        entry(1'709'250'001'000, 4, "ui", "loadChildren: bookmark resolution failed for <private>"),
        entry(1'709'250'002'000, 4, "ui", "from another program", "org.example.other"),
    };
    EXPECT_EQ(composeLogExport(entries, 1, now),
              "# Kelvane ログエクスポート\n"
              "# 生成日時: 2024-02-29 23:59:30.005\n"
              "# 範囲: 過去 1 時間\n"
              "# subsystem: com.orbwright.kelvane\n"
              "# 注意: パス等の機微情報は <private> としてマスクされる場合があります。\n"
              "\n"
              "[2024-02-29 23:40:00.007] [INFO] [cli] --auto-recompress start\n"
              "[2024-02-29 23:40:01.000] [ERROR] [ui] loadChildren: bookmark resolution failed for <private>\n"
              "\n"
              "# 合計 2 件\n");
}

TEST_F(LogExportTest, LevelNamesAndTheEmptyCase)
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    const std::vector<platform::LogEntry> levels{
        entry(0, 0, "c", "m"), entry(0, 1, "c", "m"), entry(0, 2, "c", "m"), entry(0, 3, "c", "m"),
        entry(0, 4, "c", "m"), entry(0, 5, "c", "m"), entry(0, 6, "c", "m"), entry(0, -1, "c", "m"),
    };
    const std::string text = composeLogExport(levels, 24, now);
    for (const char* line : {"] [?] [c] m\n", "] [DEBUG] [c] m\n", "] [INFO] [c] m\n", "] [NOTICE] [c] m\n",
                             "] [ERROR] [c] m\n", "] [FAULT] [c] m\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_NE(text.find("# 範囲: 過去 1 日\n"), std::string::npos);
    EXPECT_NE(text.find("\n\n# 合計 8 件\n"), std::string::npos);

    const std::string empty = composeLogExport({}, 168, now);
    EXPECT_TRUE(empty.ends_with("。\n\n(該当ログなし)\n")) << empty;
    EXPECT_EQ(empty.find("合計"), std::string::npos);
}

TEST_F(LogExportTest, ExportReadsThisProcessEntriesWithPrivateArgumentsMasked)
{
    test::TempDir dir;
    dir.useAsHome();
    platform::Logger::cli().info("--auto-recompress start");
    platform::Logger::ui().error("loadChildren: bookmark resolution failed for %{private}s", "/home/secret/folder");
    platform::Logger::notifications().notice("counted %{public}d items", 12);

    const std::string text = exportLogs(1);
    EXPECT_TRUE(text.starts_with("# Kelvane ログエクスポート\n")) << text;
    EXPECT_NE(text.find("] [INFO] [cli] --auto-recompress start\n"), std::string::npos) << text;
    EXPECT_NE(text.find("] [ERROR] [ui] loadChildren: bookmark resolution failed for <private>\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("] [NOTICE] [notifications] counted 12 items\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n\n# 合計 3 件\n")) << text;
}

}  // namespace
}  // namespace kelvane::app
