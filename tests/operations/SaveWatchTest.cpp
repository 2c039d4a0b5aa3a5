// SPDX-License-Identifier: MIT
#include "operations/threads/SaveWatch.h"

#include "OperationsTestSupport.h"
#include "operations/threads/MainThread.h"
#include "store/CompressionLog.h"

#include <QThread>

#include <thread>

namespace kelvane::operations::test {
namespace {

class SaveWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        dir_.useAsHome();
        container_ = openStore(dir_);
    }

    void saveLog(store::ModelContext& context)
    {
        context.insert(std::make_shared<store::CompressionLog>(store::Uuid::random(), std::chrono::system_clock::now(),
                                                               "compress", "/a.txt", 10, 5, "LZFSE", 1, true));
        context.save();
    }

    // Runs the event loop until everything queued for the main thread so far has run.
    static bool drainMainThread()
    {
        bool reached = false;
        postToMainThread([&reached] { reached = true; });
        return waitUntil([&] { return reached; });
    }

    kelvane::test::TempDir dir_;
    std::shared_ptr<store::ModelContainer> container_;
};

TEST_F(SaveWatchTest, SavesOnAnyThreadReachTheMainThreadOnceForAllThatCameBetween)
{
    int calls = 0;
    bool onMainThread = true;
    SaveWatch watch(*container_, {store::CompressionLog::entityName}, [&] {
        ++calls;
        onMainThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    std::thread worker([this] {
        auto context = container_->makeContext();
        for (int i = 0; i < 5; ++i)
            saveLog(*context);
    });
    worker.join();
    saveLog(container_->mainContext());
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    ASSERT_TRUE(drainMainThread());
    EXPECT_EQ(calls, 1) << "six saves before the loop ran, one call";
    EXPECT_TRUE(onMainThread);

    saveLog(container_->mainContext());
    ASSERT_TRUE(waitUntil([&] { return calls == 2; }));
}

TEST_F(SaveWatchTest, OtherEntitiesAndAWatchThatIsGoneCallNothing)
{
    int calls = 0;
    {
        SaveWatch elsewhere(*container_, {store::RegisteredItem::entityName}, [&] { ++calls; });
        saveLog(container_->mainContext());
        ASSERT_TRUE(drainMainThread());
        EXPECT_EQ(calls, 0);
    }
    {
        SaveWatch watch(*container_, {store::CompressionLog::entityName}, [&] { ++calls; });
        saveLog(container_->mainContext());  // its call is queued, then the watch goes
    }
    ASSERT_TRUE(drainMainThread());
    EXPECT_EQ(calls, 0);
    saveLog(container_->mainContext());
    ASSERT_TRUE(drainMainThread());
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace kelvane::operations::test
