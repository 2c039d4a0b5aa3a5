// SPDX-License-Identifier: MIT
#include "KelvaneVersion.h"
#include "app/KelvaneApp.h"
#include "platform/qt/Settings.h"
#include "store/CompressionLog.h"
#include "store/ModelContainer.h"
#include "store/Uuid.h"

#include "support/TempDir.h"

#include "KelvaneProcess.h"

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kelvane::app {
namespace {

namespace keys = platform::settings_keys;
using test::KelvaneProcess;
using test::ProcessResult;

const std::string expectedHelp =
    "Kelvane — ファイルをその場で decmpfs 形式 (LZFSE) に圧縮・解除する GUI アプリ\n"
    "\n"
    "使い方:\n"
    "  kelvane                     通常 GUI を起動\n"
    "  kelvane --auto-recompress   登録済み項目を一括再圧縮して終了\n"
    "  kelvane --help              この使い方を表示\n"
    "  kelvane --version           バージョン情報を表示\n"
    "  それ以外の引数は標準エラーに名前を書いて無視します。\n"
    "\n"
    "cron / systemd タイマー で定期実行する例:\n"
    // The cron line names the program by the path it was started from.
    "  0 3 * * 0 " KELVANE_BINARY_DIR "/kelvane --auto-recompress\n"
    "  （毎週日曜 3:00 に登録済み項目を再圧縮）\n"
    "\n"
    "詳細:\n"
    "  --auto-recompress\n"
    "    登録済みファイル / フォルダを順次走査し、未圧縮かつサイズ条件を満たす\n"
    "    ファイルを LZFSE で圧縮します。完了するとアプリは自動終了します。\n"
    "    2 GB 以上のファイル（decmpfs 形式の上限を超えるもの）はスキップされます。\n"
    "    失敗したファイルは 1 件ごとにパスと理由を標準エラーに書きます。\n"
    "\n"
    "    編集中ファイル保護:\n"
    "      直近 30 分以内に更新されたファイルはバックグラウンド圧縮の対象から\n"
    "      自動的に外します。これは「アプリでファイルを開いて編集中」のケースで\n"
    "      ユーザーの未保存変更が巻き戻されるのを防ぐためです(一般的なアプリは\n"
    "      flock を使わないため、修正時刻ベースで保守的にガードしています)。\n"
    "      長時間開いて時々保存するワークフローでも、保存後 30 分間は触らない\n"
    "      安全マージンを取っています。\n"
    "\n"
    "終了コード:\n"
    "  0  正常完了\n"
    "  1  圧縮に失敗したファイルがある、ストアを開けない・読めない、\n"
    "     またはディスプレイがないのにウィンドウを開こうとした\n";

const std::string expectedVersion = std::string("Kelvane ") + KELVANE_VERSION + " (build " + KELVANE_BUILD + ")\n";

// Starts the built executable with nothing but a home folder: no display,
// no platform plugin choice, no session bus.
class CommandLineTest : public ::testing::Test {
protected:
    test::TempDir home;
    KelvaneProcess kelvane{home.path()};

    ProcessResult run(const QStringList& arguments) const { return kelvane.run(arguments); }

    std::filesystem::path supportFolder() const { return kelvane.supportFolder(); }
    std::filesystem::path storeFile() const { return kelvane.storeFile(); }
    std::filesystem::path settingsFile() const { return kelvane.settingsFile(); }

    // Each of `calls` prints `out` alone and succeeds; so does `stray`, which
    // also says that it ignores `unknown`. None of them makes the support
    // folder or the settings.
    void expectPrintOnly(std::initializer_list<QStringList> calls, const QStringList& stray,
                         const std::string& unknown, const std::string& out) const
    {
        for (const QStringList& arguments : calls) {
            const ProcessResult result = run(arguments);
            EXPECT_EQ(result.exitCode, 0) << arguments.join(' ').toStdString();
            EXPECT_EQ(result.out, out) << arguments.join(' ').toStdString();
            EXPECT_EQ(result.err, "") << arguments.join(' ').toStdString();
        }
        const ProcessResult strayResult = run(stray);
        EXPECT_EQ(strayResult.exitCode, 0);
        EXPECT_EQ(strayResult.out, out);
        EXPECT_EQ(strayResult.err, "Kelvane: 不明な引数「" + unknown + "」を無視します\n");
        EXPECT_FALSE(std::filesystem::exists(supportFolder()));
        EXPECT_FALSE(std::filesystem::exists(settingsFile()));
    }

    // How often the log says that the store could not be opened.
    int storeFailuresLogged() const
    {
        std::ifstream log(home.path() / ".local/state/Kelvane" / "kelvane.log");
        int count = 0;
        for (std::string line; std::getline(log, line);)
            count += line.find("store open failed") != std::string::npos ? 1 : 0;
        return count;
    }
};

TEST_F(CommandLineTest, HelpPrintsTheUsageExactlyAndTouchesNothing)
{
    expectPrintOnly({QStringList{"--help"}, QStringList{"-h"}, QStringList{"--version", "--help"},
                     QStringList{"--help", "--version"}, QStringList{"--auto-recompress", "-h"}},
                    {"--unknown", "-h", "-V"}, "--unknown", expectedHelp);
}

TEST_F(CommandLineTest, VersionPrintsOneLineAndTouchesNothing)
{
    ASSERT_TRUE(std::string(KELVANE_VERSION).size() > 0);
    expectPrintOnly({QStringList{"--version"}, QStringList{"-V"}, QStringList{"-V", "--auto-recompress"}},
                    {"--auto-recompress", "--version", "stray"}, "stray", expectedVersion);
}

TEST_F(CommandLineTest, WindowedStartOpensTheStoreAndRecordsEachLaunch)
{
    // Qt's own options (-style) are taken by Qt, not named as unknown.
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"--HELP", "-style", "Fusion", "-help", "--auto-recompress=1"}}) {
        // The window runs until it has noted the item count, then the session ends it.
        platform::Settings(settingsFile()).remove(keys::registeredItemCountCache.name);
        const ProcessResult result = kelvane.runWindow(
            [this] { return platform::Settings(settingsFile()).contains(keys::registeredItemCountCache.name); },
            arguments);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, "");
        std::string named;
        std::istringstream lines(result.err);
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with("Kelvane: 不明な引数"))
                named += line + "\n";
        EXPECT_EQ(named, arguments.isEmpty() ? ""
                                             : "Kelvane: 不明な引数「--HELP」を無視します（--help のことですか？）\n"
                                               "Kelvane: 不明な引数「-help」を無視します（--help のことですか？）\n"
                                               "Kelvane: 不明な引数「--auto-recompress=1」を無視します"
                                               "（--auto-recompress のことですか？）\n");
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(storeFile()));
    EXPECT_TRUE(std::filesystem::is_regular_file(kelvane.notificationsFile()));

    const platform::Settings settings(settingsFile());
    EXPECT_EQ(settings.value(keys::launchCount), 2);
    EXPECT_TRUE(settings.contains(keys::registeredItemCountCache.name));
    EXPECT_EQ(settings.value(keys::registeredItemCountCache), 0);
    const auto first = settings.value(keys::firstLaunchAt);
    const auto previous = settings.value(keys::previousLaunchAt);
    const auto last = settings.value(keys::lastLaunchAt);
    ASSERT_TRUE(first && previous && last);
    EXPECT_EQ(*previous, *first);
    EXPECT_LE(*first, *last);
}

// A typo in a cron line starts no headless run: without a display the start
// stops, and says both what it did not understand and why no window came.
TEST_F(CommandLineTest, AMistypedOptionIsNamedBeforeTheWindowlessStartStops)
{
    const ProcessResult result = run({"--auto-recompres"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, std::string("Kelvane: 不明な引数「--auto-recompres」を無視します"
                                      "（--auto-recompress のことですか？）\n")
                              + KelvaneApp::noDisplayMessage);
    EXPECT_FALSE(std::filesystem::exists(supportFolder()));
}

TEST_F(CommandLineTest, HeadlessStartOnAnEmptyStoreReportsNothingToDoAndRecordsNoLaunch)
{
    const ProcessResult result = run({"--auto-recompress", "--bogus"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "Kelvane: 不明な引数「--bogus」を無視します\n");
    EXPECT_TRUE(std::regex_match(result.out,
                                 std::regex("\\[Kelvane\\] --auto-recompress: 登録項目 0 件を走査します\n"
                                            "\\[Kelvane\\] --auto-recompress 完了: 走査 0 件 / 成功 0 / 失敗 0 / "
                                            "既圧縮スキップ 0 / 縮まずスキップ 0 / 削減 0 B / 所要 [0-9]+\\.[0-9] 秒\n")))
        << result.out;
    EXPECT_TRUE(std::filesystem::is_regular_file(storeFile()));
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
    // The reminder belongs to windowed launches only.
    EXPECT_FALSE(std::filesystem::exists(kelvane.notificationsFile()));
}

TEST_F(CommandLineTest, AStoreThatCannotBeOpenedStopsTheStartAndStaysAsItWas)
{
    std::filesystem::create_directories(supportFolder());
    std::vector<std::uint8_t> damaged(8192);
    for (std::size_t i = 0; i < damaged.size(); ++i)
        damaged[i] = static_cast<std::uint8_t>(i * 131 + 7);
    const char header[] = "SQLite format 3";  // looks like a database, is not one
    std::copy(header, header + sizeof header, damaged.begin());
    test::writeRawFile(storeFile(), damaged);

    const ProcessResult headless = run({"--auto-recompress"});
    // The windowed start shows the failure in a window until it is closed;
    // the session ends it here.
    const int before = storeFailuresLogged();
    const ProcessResult windowed = kelvane.runWindow([&] { return storeFailuresLogged() > before; });
    EXPECT_TRUE(windowed.finished) << "the windowed start never reported the store";
    for (const ProcessResult& result : {headless, windowed}) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with("Failed to create ModelContainer: ")) << result.err;
        EXPECT_GT(result.err.size(), std::string("Failed to create ModelContainer: \n").size()) << result.err;
    }
    EXPECT_EQ(test::readRawFile(storeFile()), damaged);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(supportFolder()))
        names.push_back(entry.path().filename().string());
    std::erase_if(names, [](const std::string& name) { return name.starts_with("kelvane.log"); });
    EXPECT_EQ(names, std::vector<std::string>{"store.sqlite"});  // no side files left behind
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));  // no launch recorded either
}

TEST_F(CommandLineTest, ATruncatedStoreIsReportedAndKeptAsItIs)
{
    std::filesystem::create_directories(supportFolder());
    {
        auto container = store::makeModelContainer(storeFile());
        for (int i = 0; i < 200; ++i)
            container->mainContext().insert(std::make_shared<store::CompressionLog>(
                store::Uuid::random(), std::chrono::system_clock::now(), "compress", "/home/me/f" + std::to_string(i),
                4096, 1024, "LZFSE", 3, true, std::nullopt));
        container->mainContext().save();
    }
    // A copy cut short, as a full disk or a crash during a copy leaves it.
    std::vector<std::uint8_t> bytes = test::readRawFile(storeFile());
    for (const char* side : {"-wal", "-shm"})
        std::filesystem::remove(storeFile().string() + side);
    bytes.resize(bytes.size() / 2);
    test::writeRawFile(storeFile(), bytes);

    const ProcessResult windowed = kelvane.runWindow([&] { return storeFailuresLogged() > 0; });
    EXPECT_TRUE(windowed.finished) << "the windowed start never reported the store";
    EXPECT_EQ(windowed.exitCode, 1);
    EXPECT_TRUE(windowed.err.starts_with("Failed to create ModelContainer: ")) << windowed.err;
    EXPECT_EQ(test::readRawFile(storeFile()), bytes);
}

TEST_F(CommandLineTest, AStoreThatCanOnlyBeReadStopsTheWindowButNotTheHeadlessRun)
{
    ASSERT_EQ(run({"--auto-recompress"}).exitCode, 0);  // makes the store
    const std::vector<std::uint8_t> bytes = test::readRawFile(storeFile());
    if (!test::setImmutable(storeFile(), true))
        GTEST_SKIP() << "no immutable flag on this file system";
    // The headless run only reads the store.
    const ProcessResult headless = run({"--auto-recompress"});
    const ProcessResult windowed = kelvane.runWindow([&] { return storeFailuresLogged() > 0; });
    test::setImmutable(storeFile(), false);
    EXPECT_EQ(headless.exitCode, 0) << headless.err;
    EXPECT_TRUE(windowed.finished) << "the windowed start never reported the store";
    EXPECT_EQ(windowed.exitCode, 1);
    EXPECT_NE(windowed.err.find("cannot be written"), std::string::npos) << windowed.err;
    EXPECT_EQ(test::readRawFile(storeFile()), bytes);
}

TEST_F(CommandLineTest, AnUncreatableStoreFolderIsReportedTheSameWay)
{
    std::filesystem::create_directories(home / ".local/share");
    test::writeRawFile(supportFolder(), {'x'});  // a file where the folder should be
    const ProcessResult result = run({"--auto-recompress"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.starts_with("Failed to create ModelContainer: ")) << result.err;
    EXPECT_EQ(test::readRawFile(supportFolder()), std::vector<std::uint8_t>{'x'});
}

}  // namespace
}  // namespace kelvane::app
