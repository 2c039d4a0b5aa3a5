// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"
#include "store/ModelContainer.h"

#include "support/TempDir.h"

#include "KelvaneProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <regex>
#include <string>

namespace kelvane::app {
namespace {

// The delegate's run ends the event loop with the run's status; main() returns it.
class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::application();
        home_.useAsHome();
    }

    kelvane::test::TempDir home_;
};

TEST_F(AppDelegateTest, WithoutAStoreTheHeadlessRunStopsWithItsMessage)
{
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    AppDelegate::startHeadlessAutoRecompress(nullptr);
    const int status = QCoreApplication::exec();
    const std::string err = ::testing::internal::GetCapturedStderr();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "ERROR: ModelContainer is not initialized. headless mode aborted.\n");
    EXPECT_EQ(out, "");
}

TEST_F(AppDelegateTest, TheRunStartsOnlyOnceTheEventLoopRuns)
{
    auto container = store::makeModelContainer(home_ / "store.sqlite");
    ::testing::internal::CaptureStdout();
    AppDelegate::applicationDidFinishLaunching(RunMode::headlessAutoRecompress, container);
    // Nothing has run yet: the delegate returned at once.
    const bool quietBeforeTheLoop = ::testing::internal::GetCapturedStdout().empty();
    ::testing::internal::CaptureStdout();
    const int status = QCoreApplication::exec();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(quietBeforeTheLoop);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::regex_match(out, std::regex("\\[Kelvane\\] --auto-recompress: 登録項目 0 件を走査します\n"
                                                 "\\[Kelvane\\] --auto-recompress 完了: 走査 0 件 .* 秒\n")))
        << out;
}

// The delegate acts on the mode it is handed, not on anything else: in the
// other modes the event loop sees nothing of it.
TEST_F(AppDelegateTest, OnlyTheHeadlessModeStartsARun)
{
    auto container = store::makeModelContainer(home_ / "store.sqlite");
    for (const RunMode mode : {RunMode::gui, RunMode::help, RunMode::version}) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        AppDelegate::applicationDidFinishLaunching(mode, container);
        QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(7); });
        const int status = QCoreApplication::exec();
        const std::string err = ::testing::internal::GetCapturedStderr();
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 7) << static_cast<int>(mode);
        EXPECT_EQ(out + err, "") << static_cast<int>(mode);
    }
}

}  // namespace
}  // namespace kelvane::app
