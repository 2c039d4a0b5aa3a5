#include "platform/AppSupport.h"
#include "platform/LogStore.h"
#include "platform/Logger.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <thread>

namespace kelvane::platform {
namespace {

using Clock = std::chrono::system_clock;

std::vector<LogEntry> entriesSince(Clock::time_point since)
{
    return LogStore::currentProcess().entries(since);
}

TEST(LoggerTest, ComposesLikeThePlatformLoggerWithPrivateArgumentsMasked)
{
    const std::string path = "/home/someone/secret.txt";
    EXPECT_EQ(Logger::compose("removing stale kvtmp debris at %{private}s", {path}),
              "removing stale kvtmp debris at <private>");
    EXPECT_EQ(Logger::compose("xattr copy failed (%{public}s %{public}s) for %{private}s: errno=%d",
                              {"getxattr size", "com.example.tag", path, 13}),
              "xattr copy failed (getxattr size com.example.tag) for <private>: errno=13");
    // Unmarked: numbers shown, texts masked.
    EXPECT_EQ(Logger::compose("%s has %d files (%zu bytes, %.2f%%)", {path, -3, std::size_t{4096}, 12.345}),
              "<private> has -3 files (4096 bytes, 12.35%)");
    EXPECT_EQ(Logger::compose("%{public}@ and %{private}d", {std::filesystem::path("/a b"), 7}),
              "/a b and <private>");
    EXPECT_EQ(Logger::compose("%{public}lld|%{public}llu|%x|%5d|%-3d|", {std::int64_t{-9}, 18446744073709551615ull, 255u, 42, 1}),
              "-9|18446744073709551615|ff|   42|1  |");
    EXPECT_EQ(Logger::compose("missing %d and %{public}s", {1}), "missing 1 and <missing>");
    EXPECT_EQ(Logger::compose("100%% sure, trailing %", {}), "100% sure, trailing %");
    EXPECT_EQ(Logger::compose("%{public}d", {"text"}), "text");
}

TEST(LoggerTest, LinesOfThisProcessReadBackByTime)
{
    test::TempDir home;
    home.useAsHome();
    const auto start = Clock::now();
    Logger::compression().notice("chown failed for %{private}s: errno=%d", "/tmp/x.kvtmp", 1);
    Logger::data().error("save failed: %{public}s", "disk full");
    Logger::ui().info("loaded %d rows\nsecond line\twith tab", 12);
    Logger::notifications().debug("scheduled");
    Logger::cli().fault("stopped");

    EXPECT_TRUE(std::filesystem::exists(applicationSupportDirectory() / "kelvane.log"));
    EXPECT_EQ(applicationSupportDirectory(), home.path() / ".local/share/Kelvane");

    const auto entries = entriesSince(start);
    ASSERT_EQ(entries.size(), 5u);
    const std::vector<std::tuple<int, std::string, std::string>> expected = {
        {3, "compression", "chown failed for <private>: errno=1"},
        {4, "data", "save failed: disk full"},
        {2, "ui", "loaded 12 rows\nsecond line\twith tab"},
        {1, "notifications", "scheduled"},
        {5, "cli", "stopped"},
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].level, std::get<0>(expected[i]));
        EXPECT_EQ(entries[i].category, std::get<1>(expected[i]));
        EXPECT_EQ(entries[i].message, std::get<2>(expected[i]));
        EXPECT_EQ(entries[i].subsystem, "com.orbwright.kelvane");
        EXPECT_GE(entries[i].date, start);
    }
    EXPECT_LE(entries.front().date, entries.back().date);

    // Nothing before the time asked for, nothing of other processes.
    const auto later = Clock::now();
    Logger::ui().info("after");
    {
        std::ofstream out(LogStore::logFilePath(), std::ios::app);
        const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch());
        out << now.count() << "\t1\t1\t3\tcom.orbwright.kelvane\tui\tanother process\n";
        out << "a damaged line\n";
    }
    const auto recent = entriesSince(later);
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0].message, "after");
}

TEST(LoggerTest, FollowsTheApplicationSupportFolderAndKeepsLinesWholeAcrossThreads)
{
    const auto start = Clock::now();
    {
        test::TempDir first;
        first.useAsHome();
        Logger::cli().notice("into the first folder");
        ASSERT_EQ(entriesSince(start).size(), 1u);
    }
    test::TempDir second;
    second.useAsHome();
    EXPECT_TRUE(entriesSince(start).empty());  // a new folder has no log yet

    constexpr int threads = 8;
    constexpr int lines = 250;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < lines; ++i)
                Logger::compression().notice("thread %d line %d %{public}s", t, i, std::string(200, 'x'));
        });
    }
    for (auto& worker : workers)
        worker.join();

    const auto entries = entriesSince(start);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(threads * lines));
    std::set<std::string> seen;
    for (const auto& entry : entries)
        seen.insert(entry.message);
    EXPECT_EQ(seen.size(), entries.size());
    EXPECT_TRUE(seen.count("thread 7 line 249 " + std::string(200, 'x')));
}

TEST(LoggerTest, UnwritableFolderDropsLinesWithoutFailing)
{
    test::TempDir home;
    home.useAsHome();
    // A file where the folder should be: nothing can be written, nothing throws.
    test::writeRawFile(home.path() / ".local/share/Kelvane", {});
    Logger::data().error("dropped %d", 1);
    std::error_code error;
    EXPECT_TRUE(ensureApplicationSupportDirectory(error).empty());
    EXPECT_TRUE(error);
}

}  // namespace
}  // namespace kelvane::platform
