#include "app/Version.h"
#include "platform/qt/Settings.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <string>
#include <vector>

namespace kelvane::app {
namespace {

namespace keys = platform::settings_keys;

const std::string expectedHelp =
    "Kelvane — macOS の透過圧縮 (decmpfs) を扱う GUI アプリ\n"
    "\n"
    "使い方:\n"
    "  open -a Kelvane                            通常 GUI を起動\n"
    "  open -a Kelvane --args --auto-recompress   登録済み項目を一括再圧縮して終了\n"
    "  open -a Kelvane --args --help              この使い方を表示\n"
    "  open -a Kelvane --args --version           バージョン情報を表示\n"
    "\n"
    "cron / launchd で定期実行する例:\n"
    "  0 3 * * 0 /usr/bin/open -a Kelvane --args --auto-recompress\n"
    "  （毎週日曜 3:00 に登録済み項目を再圧縮）\n"
    "\n"
    "詳細:\n"
    "  --auto-recompress\n"
    "    登録済みファイル / フォルダを順次走査し、未圧縮かつサイズ条件を満たす\n"
    "    ファイルを LZFSE で圧縮します。完了するとアプリは自動終了します。\n"
    "    2 GB（decmpfs 形式の上限）を超えるファイルは自動的にスキップされます。\n"
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
    "  1  致命的失敗\n";

const std::string expectedVersion = std::string("Kelvane ") + KELVANE_VERSION + " (build " + KELVANE_BUILD + ")\n";

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Starts the built executable with nothing but a home folder: no display,
// no platform plugin choice, no session bus.
class CommandLineTest : public ::testing::Test {
protected:
    test::TempDir home;

    ProcessResult run(const QStringList& arguments) const
    {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.path().string()));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString((home / ".local/share").string()));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((home / ".config").string()));
        environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KELVANE_BINARY_DIR "/kelvane"), arguments);
        ProcessResult result;
        if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    std::filesystem::path supportFolder() const { return home / ".local/share/Kelvane"; }
    std::filesystem::path storeFile() const { return supportFolder() / "store.sqlite"; }
    std::filesystem::path settingsFile() const { return home / ".config/Kelvane/Kelvane.conf"; }
};

TEST_F(CommandLineTest, HelpPrintsTheUsageExactlyAndTouchesNothing)
{
    for (const QStringList& arguments : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--version", "--help"},
                                         QStringList{"--help", "--version"}, QStringList{"--auto-recompress", "-h"},
                                         QStringList{"--unknown", "-h", "-V"}}) {
        const ProcessResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.out, expectedHelp) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.err, "") << arguments.join(' ').toStdString();
    }
    EXPECT_FALSE(std::filesystem::exists(supportFolder()));
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(CommandLineTest, VersionPrintsOneLineAndTouchesNothing)
{
    ASSERT_TRUE(std::string(KELVANE_VERSION).size() > 0);
    for (const QStringList& arguments : {QStringList{"--version"}, QStringList{"-V"},
                                         QStringList{"-V", "--auto-recompress"},
                                         QStringList{"--auto-recompress", "--version", "stray"}}) {
        const ProcessResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.out, expectedVersion) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.err, "") << arguments.join(' ').toStdString();
    }
    EXPECT_FALSE(std::filesystem::exists(supportFolder()));
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(CommandLineTest, WindowedStartOpensTheStoreAndRecordsEachLaunch)
{
    for (const QStringList& arguments : {QStringList{}, QStringList{"--HELP", "-help", "--auto-recompress=1"}}) {
        const ProcessResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, expectedHelp);  // no main window yet: the usage instead
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(storeFile()));

    const platform::Settings settings(settingsFile());
    EXPECT_EQ(settings.value(keys::launchCount), 2);
    const auto first = settings.value(keys::firstLaunchAt);
    const auto previous = settings.value(keys::previousLaunchAt);
    const auto last = settings.value(keys::lastLaunchAt);
    ASSERT_TRUE(first && previous && last);
    EXPECT_EQ(*previous, *first);
    EXPECT_LE(*first, *last);
}

TEST_F(CommandLineTest, HeadlessStartOpensTheStoreWithoutRecordingALaunch)
{
    const ProcessResult result = run({"--auto-recompress"});
    // The re-compression run itself is not part of this build: a clear failure, never a false success.
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("--auto-recompress"), std::string::npos) << result.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(storeFile()));
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
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

    for (const QStringList& arguments : {QStringList{"--auto-recompress"}, QStringList{}}) {
        const ProcessResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments.join(' ').toStdString();
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
