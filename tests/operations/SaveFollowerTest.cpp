// SPDX-License-Identifier: MIT
#include "operations/threads/SaveFollower.h"

#include "OperationsTestSupport.h"
#include "operations/threads/MainThread.h"
#include "store/CompressionLog.h"

#include <thread>

namespace kelvane::operations::test {
namespace {

class SaveFollowerTest : public StoreFixture {
protected:
    static void saveLog(store::ModelContext& context)
    {
        context.insert(std::make_shared<store::CompressionLog>(store::Uuid::random(), std::chrono::system_clock::now(),
                                                               "compress", "/f/x", 10, 5, "LZFSE", 1, true));
        context.save();
    }

    // Runs the main thread's queue until everything posted so far, and what
    // that posts in turn, has run.
    static void drainMainThread()
    {
        bool drained = false;
        postToMainThread([&] { postToMainThread([&] { drained = true; }); });
        ASSERT_TRUE(waitUntil([&] { return drained; }));
    }
};

TEST_F(SaveFollowerTest, ABurstOfSavesFromAnyThreadRefetchesOnceOnTheMainThread)
{
    int refetches = 0;
    bool onMainThread = true;
    SaveFollower follower(*container_, {store::CompressionLog::entityName}, [&] {
        ++refetches;
        onMainThread = onMainThread && isMainThread();
    });
    std::thread worker([&] {
        auto context = container_->makeContext();
        for (int i = 0; i < 3; ++i)
            saveLog(*context);
    });
    worker.join();
    drainMainThread();
    EXPECT_EQ(refetches, 1);
    EXPECT_TRUE(onMainThread);

    // The next burst is a refetch of its own.
    saveLog(container_->mainContext());
    saveLog(container_->mainContext());
    drainMainThread();
    EXPECT_EQ(refetches, 2);
}

TEST_F(SaveFollowerTest, OtherEntitiesAndAGoneFollowerRefetchNothing)
{
    int refetches = 0;
    SaveFollower follower(*container_, {"RegisteredItem"}, [&] { ++refetches; });
    saveLog(container_->mainContext());
    drainMainThread();
    EXPECT_EQ(refetches, 0);

    // Saved while it is alive, drained after it is gone.
    int late = 0;
    auto gone = std::make_unique<SaveFollower>(*container_, std::vector{store::CompressionLog::entityName},
                                               [&] { ++late; });
    saveLog(container_->mainContext());
    gone.reset();
    drainMainThread();
    EXPECT_EQ(late, 0);
}

}  // namespace
}  // namespace kelvane::operations::test
