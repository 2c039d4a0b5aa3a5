// SPDX-License-Identifier: MIT
// A termination signal ends the windowed application whatever it shows: idle,
// during a bulk run, or with a run's result sheet up. A running bulk run is
// cancelled, no file is left half done, and the run's history is saved.

#include "discovery/RegistrationCoordinator.h"
#include "engine/FileCompressionInspector.h"
#include "platform/FileHandle.h"
#include "platform/qt/Settings.h"
#include "store/CompressionLog.h"
#include "store/ModelContainer.h"

#include "operations/GeneratedFiles.h"
#include "support/TempDir.h"

#include "KelvaneProcess.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>

#include <csignal>
#include <map>
#include <random>
#include <string>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class TerminationTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        test::application();
        home_.useAsHome();
        fs::create_directories(kelvane_.supportFolder());
        // Later launches: About does not open by itself.
        platform::Settings(kelvane_.settingsFile()).setValue(platform::settings_keys::hasShownFirstLaunchAbout, true);
    }

    // Files that compress well, each registered on its own.
    void registerFiles(int count, std::size_t size)
    {
        auto container = store::makeModelContainer(kelvane_.storeFile());
        std::mt19937 rng(7);
        for (int i = 0; i < count; ++i) {
            const fs::path file = home_ / "work" / ("file" + std::to_string(i) + ".txt");
            fs::create_directories(file.parent_path());
            Bytes bytes = operations::test::textBytes(rng, size);
            test::writeRawFile(file, bytes);
            originals_[file] = std::move(bytes);
            discovery::RegistrationCoordinator{}.registerItem(file, discovery::ItemKind::file, false,
                                                              container->mainContext());
        }
    }

    // Starts the windowed application in `state`, sends the signal once it is
    // there and waits for the process to end. Fails when it never got there or
    // did not end within a few seconds of the signal.
    void runAndTerminate(const char* state)
    {
        QProcessEnvironment environment = kelvane_.environment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KELVANE_BINARY_DIR "/tests/window_driver"), {QString::fromLatin1(state)});
        ASSERT_TRUE(process.waitForStarted());
        QByteArray out;
        const bool arrived = test::runEventsUntil(
            [&] {
                process.waitForReadyRead(10);
                out += process.readAllStandardOutput();
                return out.contains(QByteArray(state) + '\n') || process.state() == QProcess::NotRunning;
            },
            std::chrono::seconds(120));
        ASSERT_TRUE(arrived && process.state() == QProcess::Running)
            << state << " never reached: " << out.toStdString() << process.readAllStandardError().toStdString();

        ::kill(static_cast<pid_t>(process.processId()), GetParam());
        const bool ended = process.waitForFinished(15'000);
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        ASSERT_TRUE(ended) << "still running 15 s after the signal";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }

    std::vector<std::shared_ptr<store::CompressionLog>> history()
    {
        auto container = store::makeModelContainer(kelvane_.storeFile());
        return container->makeContext(store::ModelContext::Access::readOnly)
            ->fetch(store::FetchDescriptor<store::CompressionLog>());
    }

    static bool compressedOnDisk(const fs::path& path)
    {
        const engine::FileCompressionInfo info = engine::FileCompressionInspector{}.inspect(path);
        return info.status.as<engine::FileCompressionStatus::compressed>() != nullptr;
    }

    // Every file reads back as it was written, and its history record is there
    // exactly when it is compressed. Returns how many are compressed.
    int expectEveryFileWholeAndRecorded()
    {
        std::map<std::string, int> recorded;
        for (const auto& log : history())
            if (log->success() && log->operation() == "compress")
                ++recorded[log->targetPath()];
        int compressed = 0;
        for (const auto& [path, bytes] : originals_) {
            Bytes back;
            EXPECT_EQ(platform::readWholeFile(path, back), 0) << path;
            EXPECT_TRUE(back == bytes) << path;
            const bool isCompressed = compressedOnDisk(path);
            compressed += isCompressed ? 1 : 0;
            EXPECT_EQ(recorded[path.string()], isCompressed ? 1 : 0) << path;
            EXPECT_FALSE(fs::exists(path.string() + ".kvtmp")) << path;
        }
        return compressed;
    }

    kelvane::test::TempDir home_;
    kelvane::test::KelvaneProcess kelvane_{home_.path()};
    std::map<fs::path, Bytes> originals_;
};

TEST_P(TerminationTest, EndsTheIdleWindow)
{
    runAndTerminate("idle");
}

TEST_P(TerminationTest, CancelsARunningBulkRunAndSavesItsHistoryBeforeEnding)
{
    // The driver holds the run's workers once one of them has committed
    // (window_driver), so the signal lands while the run is working whatever
    // the machine's speed; the files not yet begun then stay as they were.
    registerFiles(64, 64 << 10);
    runAndTerminate("running");
    const int compressed = expectEveryFileWholeAndRecorded();
    EXPECT_GE(compressed, 1);
    EXPECT_LT(compressed, 64) << "the run was not cancelled";
}

TEST_P(TerminationTest, EndsWithTheResultSheetUp)
{
    // More files than a sheet that closes by itself allows.
    registerFiles(12, 64 * 1024);
    runAndTerminate("result");
    EXPECT_EQ(expectEveryFileWholeAndRecorded(), 12);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM"
                                                : info.param == SIGINT ? "SIGINT"
                                                                       : "SIGHUP");
                         });

}  // namespace
}  // namespace kelvane::app
