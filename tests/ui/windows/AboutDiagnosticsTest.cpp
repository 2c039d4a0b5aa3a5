// SPDX-License-Identifier: MIT
#include "operations/windows/AboutDiagnostics.h"

#include "WindowsTestSupport.h"
#include "platform/ProcessStart.h"
#include "platform/qt/Settings.h"

#include <fstream>
#include <sys/stat.h>

namespace kelvane::ui::test {
namespace {

using namespace kelvane::operations;
namespace fs = std::filesystem;
namespace keys = platform::settings_keys;

void writeBytes(const fs::path& path, std::size_t size)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

std::uint64_t allocated(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0);
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

TEST(ProcessStartTest, TheStartTimeIsReadPastACommandNameWithSpacesAndParentheses)
{
    // Fields 3 to 21, then the start time (22) and more.
    const std::string fields = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 987654 19 20";
    EXPECT_EQ(platform::startTicksFromStat("4242 (kel vane) (x)" + fields), 987654ULL);
    EXPECT_EQ(platform::startTicksFromStat("4242 (kelvane)" + fields), 987654ULL);
    EXPECT_FALSE(platform::startTicksFromStat("4242 (kelvane) S 1 2 3"));
    EXPECT_FALSE(platform::startTicksFromStat("no name at all"));

    EXPECT_EQ(platform::bootTimeFromProcStat("cpu 1 2 3\nintr 5\nbtime 1700000000\nprocesses 9\n"), 1700000000LL);
    EXPECT_FALSE(platform::bootTimeFromProcStat("cpu 1 2 3\nbtimex 5\n"));

    // This process started before now, and not long before (the test runner started it).
    const auto started = platform::processStartTime();
    ASSERT_TRUE(started);
    const auto now = std::chrono::system_clock::now();
    EXPECT_LE(*started, now + std::chrono::seconds(1));
    EXPECT_GE(*started, now - std::chrono::hours(2));
}

TEST(AboutDiagnosticsTest, TheSizeCountsEachRegularFileNamedOnceAndNothingElse)
{
    kelvane::test::TempDir dir;
    writeBytes(dir / "kelvane", 10000);
    writeBytes(dir / "share" / ".hidden", 5000);
    fs::create_directories(dir / "empty");
    fs::create_symlink(dir / "kelvane", dir / "link");

    const std::uint64_t expected = allocated(dir / "kelvane") + allocated(dir / "share" / ".hidden");
    EXPECT_GT(expected, 0u);
    EXPECT_EQ(allocatedSize({dir / "kelvane", dir / "share" / ".hidden", dir / "empty", dir / "link", dir / "missing",
                             dir / "kelvane"}),
              expected);
    EXPECT_EQ(allocatedSize({}), 0u);
}

// Installed: the files the installation lists, whatever else shares the
// prefix. A build folder: the executable alone, not the objects and tests
// around it.
TEST(AboutDiagnosticsTest, TheProgramIsItsInstalledFilesOrTheExecutableAlone)
{
    kelvane::test::TempDir dir;
    const fs::path prefix = dir / "usr";
    writeBytes(prefix / "bin" / "kelvane", 30000);
    writeBytes(prefix / "bin" / "other-program", 50000);
    writeBytes(prefix / "share" / "applications" / "com.orbwright.kelvane.desktop", 300);
    writeBytes(prefix / "share" / "icons" / "hicolor" / "256x256" / "apps" / "com.orbwright.kelvane.png", 6000);
    writeBytes(prefix / "share" / "icons" / "hicolor" / "256x256" / "apps" / "someone-else.png", 9000);
    writeBytes(dir / "outside", 7000);
    fs::create_directories(prefix / "share" / "kelvane");
    std::ofstream(prefix / "share" / "kelvane" / "installed-files")
        << "bin/kelvane\nshare/applications/com.orbwright.kelvane.desktop\n"
           "share/icons/hicolor/256x256/apps/com.orbwright.kelvane.png\n"
           "share/man/man1/not-installed.1.gz\n/etc/passwd\n../outside\n";

    const auto installed = programFiles(prefix / "bin" / "kelvane");
    const std::uint64_t expected =
        allocated(prefix / "bin" / "kelvane") + allocated(prefix / "share" / "kelvane" / "installed-files") +
        allocated(prefix / "share" / "applications" / "com.orbwright.kelvane.desktop") +
        allocated(prefix / "share" / "icons" / "hicolor" / "256x256" / "apps" / "com.orbwright.kelvane.png");
    EXPECT_EQ(allocatedSize(installed), expected);
    for (const fs::path& file : installed)
        EXPECT_TRUE(file.lexically_normal().string().starts_with(prefix.string())) << file;

    writeBytes(dir / "build" / "kelvane", 40000);
    writeBytes(dir / "build" / "tests" / "codec_tests", 90000);
    writeBytes(dir / "build" / "share" / "kelvane" / "installed-files", 10);
    EXPECT_EQ(programFiles(dir / "build" / "kelvane"), std::vector<fs::path>{dir / "build" / "kelvane"});
    // A bin folder without the installation's list is not an installation either.
    writeBytes(dir / "opt" / "bin" / "kelvane", 40000);
    EXPECT_EQ(programFiles(dir / "opt" / "bin" / "kelvane"), std::vector<fs::path>{dir / "opt" / "bin" / "kelvane"});
}

class AboutDiagnosticsStoreTest : public WindowTest {};

TEST_F(AboutDiagnosticsStoreTest, StoreSizeAddsTheDatabaseAndWhicheverJournalsExist)
{
    container_.reset();
    const fs::path support = dir_.path() / "support";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(support.string()));
    EXPECT_EQ(databaseStoreSize(), 0u);
    writeBytes(support / "Kelvane" / "store.sqlite", 4096);
    EXPECT_EQ(databaseStoreSize(), 4096u);
    writeBytes(support / "Kelvane" / "store.sqlite-wal", 1000);
    writeBytes(support / "Kelvane" / "store.sqlite-shm", 32768);
    writeBytes(support / "Kelvane" / "other.sqlite", 99);
    EXPECT_EQ(databaseStoreSize(), 4096u + 1000u + 32768u);
    EXPECT_EQ(AboutDiagnostics::collect({}).applicationSupportDir,
              QString::fromStdString((support / "Kelvane").string()));
}

TEST_F(AboutDiagnosticsStoreTest, CollectedLaunchFiguresFallBackWhenMissingOrOfTheWrongType)
{
    platform::Settings settings;
    auto fresh = AboutDiagnostics::collect({});
    EXPECT_EQ(fresh.launchCount, 0);
    EXPECT_FALSE(fresh.firstLaunchAt);
    EXPECT_FALSE(fresh.previousLaunchAt);
    EXPECT_GT(fresh.residentMemoryBytes, 0u);
    EXPECT_LE(fresh.processStartedAt, QDateTime::currentDateTime());

    const QDateTime first = QDateTime::fromSecsSinceEpoch(1700000000);
    settings.setValue(keys::launchCount, std::int64_t{7});
    settings.setValue(keys::firstLaunchAt, first);
    settings.setValue(platform::IntegerSetting{"previousLaunchAt", 0}, std::int64_t{12345});
    const auto later = AboutDiagnostics::collect({});
    EXPECT_EQ(later.launchCount, 7);
    ASSERT_TRUE(later.firstLaunchAt);
    EXPECT_EQ(later.firstLaunchAt->toSecsSinceEpoch(), first.toSecsSinceEpoch());
    EXPECT_FALSE(later.previousLaunchAt);
}

}  // namespace
}  // namespace kelvane::ui::test
