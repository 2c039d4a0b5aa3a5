#include "app/AppContext.h"
#include "app/AppDelegate.h"
#include "store/ModelContainer.h"

#include "support/TempDir.h"

#include "KelvaneProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

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
    void TearDown() override { AppContext::sharedContainer.reset(); }

    kelvane::test::TempDir home_;
};

TEST_F(AppDelegateTest, WithoutAStoreTheHeadlessRunStopsWithItsMessage)
{
    AppContext::sharedContainer.reset();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    AppDelegate::startHeadlessAutoRecompress();
    const int status = QCoreApplication::exec();
    const std::string err = ::testing::internal::GetCapturedStderr();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "ERROR: ModelContainer is not initialized. headless mode aborted.\n");
    EXPECT_EQ(out, "");
}

TEST_F(AppDelegateTest, TheRunStartsOnlyOnceTheEventLoopRuns)
{
    AppContext::sharedContainer = store::makeModelContainer(home_ / "store.sqlite");
    ::testing::internal::CaptureStdout();
    AppDelegate::startHeadlessAutoRecompress();
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

}  // namespace
}  // namespace kelvane::app
