// SPDX-License-Identifier: MIT
#include "platform/AppSupport.h"
#include "platform/LogStore.h"
#include "platform/Logger.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
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

    EXPECT_TRUE(std::filesystem::exists(logDirectory() / "kelvane.log"));
    EXPECT_EQ(logDirectory(), home.path() / ".local/state/Kelvane");
    EXPECT_FALSE(std::filesystem::exists(applicationSupportDirectory() / "kelvane.log"));

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
    test::writeRawFile(home.path() / ".local/state/Kelvane", {});
    Logger::data().error("dropped %d", 1);
    std::error_code error;
    EXPECT_TRUE(ensureLogDirectory(error).empty());
    EXPECT_TRUE(error);
}

std::string readText(const std::filesystem::path& file)
{
    const auto bytes = test::readRawFile(file);
    return std::string(bytes.begin(), bytes.end());
}

void writeText(const std::filesystem::path& file, const std::string& text)
{
    std::filesystem::create_directories(file.parent_path());
    test::writeRawFile(file, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Earlier builds logged into the data folder: the first line written moves
// both files to the state folder, whole, and later lines follow them there.
TEST(LoggerTest, ALogLeftInTheDataFolderMovesToTheStateFolderOnceWithNothingLost)
{
    test::TempDir home;
    home.useAsHome();
    const auto data = applicationSupportDirectory();
    const std::string previous = "1\t1\t1\t3\tcom.orbwright.kelvane\tui\tolder\n";
    const std::string current = "2\t1\t1\t3\tcom.orbwright.kelvane\tui\tnewer\n";
    writeText(data / "kelvane.log.1", previous);
    writeText(data / "kelvane.log", current);
    writeText(data / "store.sqlite", "not a log");

    Logger::ui().notice("first line after the move");
    EXPECT_FALSE(std::filesystem::exists(data / "kelvane.log"));
    EXPECT_FALSE(std::filesystem::exists(data / "kelvane.log.1"));
    EXPECT_EQ(readText(data / "store.sqlite"), "not a log");
    EXPECT_EQ(readText(logDirectory() / "kelvane.log.1"), previous);
    const std::string moved = readText(logDirectory() / "kelvane.log");
    ASSERT_TRUE(moved.starts_with(current)) << moved;
    EXPECT_NE(moved.find("first line after the move"), std::string::npos);

    // A log another process began in the state folder meanwhile keeps its
    // lines, and the old ones are added to it, not dropped.
    test::TempDir other;
    other.useAsHome();
    writeText(applicationSupportDirectory() / "kelvane.log", current);
    const std::string begun = "3\t1\t1\t3\tcom.orbwright.kelvane\tui\tbegun\n";
    writeText(logDirectory() / "kelvane.log", begun);
    Logger::ui().notice("second folder");
    EXPECT_FALSE(std::filesystem::exists(applicationSupportDirectory() / "kelvane.log"));
    const std::string merged = readText(logDirectory() / "kelvane.log");
    EXPECT_TRUE(merged.starts_with(begun + current)) << merged;
    EXPECT_NE(merged.find("second folder"), std::string::npos);
}

// The state folder on another file system: the log is copied, then removed.
TEST(LoggerTest, ALogMovesAcrossFileSystemsWhole)
{
    test::TempDir home;
    home.useAsHome();
    struct stat tmp {}, shm {};
    if (::stat(home.path().c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 || tmp.st_dev == shm.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm to move the log to";
    std::string pattern = "/dev/shm/kelvane-state-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    ::setenv("XDG_STATE_HOME", pattern.c_str(), 1);
    const std::string current = "2\t1\t1\t3\tcom.orbwright.kelvane\tui\tnewer\n";
    writeText(applicationSupportDirectory() / "kelvane.log", current);
    Logger::ui().notice("after the copy");
    const std::filesystem::path moved = logDirectory() / "kelvane.log";
    const std::string text = std::filesystem::exists(moved) ? readText(moved) : std::string();
    std::filesystem::remove_all(pattern);
    EXPECT_FALSE(std::filesystem::exists(applicationSupportDirectory() / "kelvane.log"));
    EXPECT_TRUE(text.starts_with(current)) << text;
    EXPECT_NE(text.find("after the copy"), std::string::npos);
}

}  // namespace
}  // namespace kelvane::platform
