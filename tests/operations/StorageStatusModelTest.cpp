// SPDX-License-Identifier: MIT
#include "operations/windows/StorageStatusModel.h"

#include "OperationsTestSupport.h"

#include <QSignalSpy>

#include <condition_variable>
#include <mutex>

namespace kelvane::operations::test {
namespace {

using volumes::StorageVolume;

StorageVolume volume(const std::string& url, bool isRoot = false, std::int64_t available = 1)
{
    StorageVolume v;
    v.url = url;
    v.isRoot = isRoot;
    v.availableCapacity = available;
    return v;
}

// A listing that returns the list it is given once the test opens the gate.
struct GatedLister {
    struct State {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        int calls = 0;
        bool returned = false;
        std::vector<StorageVolume> list;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    volumes::VolumeLister lister() const
    {
        return [state = state] {
            std::unique_lock lock(state->mutex);
            ++state->calls;
            state->opened.wait(lock, [&] { return state->open; });
            state->returned = true;
            return state->list;
        };
    }
    void open(std::vector<StorageVolume> list)
    {
        const std::lock_guard lock(state->mutex);
        state->list = std::move(list);
        state->open = true;
        state->opened.notify_all();
    }
    template <class F>
    auto read(F f) const
    {
        const std::lock_guard lock(state->mutex);
        return f(*state);
    }
};

TEST(StorageStatusModelTest, KeepsTheSelectedVolumeElseTheRootElseTheFirst)
{
    application();
    StorageStatusModel model([] { return std::vector<StorageVolume>{}; });
    QSignalSpy selectionChanged(&model, &StorageStatusModel::selectionChanged);
    model.applyVolumes({volume("/data"), volume("/", true), volume("/media/usb")});
    EXPECT_EQ(model.selection(), std::filesystem::path("/"));
    model.select(std::filesystem::path("/media/usb"));
    // Still listed, elsewhere and with new figures: it stays, and shows them.
    model.applyVolumes({volume("/media/usb", false, 7), volume("/", true)});
    EXPECT_EQ(model.selection(), std::filesystem::path("/media/usb"));
    ASSERT_NE(model.selectedVolume(), nullptr);
    EXPECT_EQ(model.selectedVolume()->availableCapacity, 7);
    // Unplugged: back to the root, and with no root to the first.
    model.applyVolumes({volume("/", true), volume("/data")});
    EXPECT_EQ(model.selection(), std::filesystem::path("/"));
    model.applyVolumes({volume("/data"), volume("/srv")});
    EXPECT_EQ(model.selection(), std::filesystem::path("/data"));
    model.applyVolumes({});
    EXPECT_EQ(model.selection(), std::nullopt);
    EXPECT_EQ(model.selectedVolume(), nullptr);
    EXPECT_EQ(selectionChanged.size(), 6);
}

TEST(StorageStatusModelTest, RunsOneListingAtATimeAndDropsALateResult)
{
    application();
    GatedLister gated;
    auto model = std::make_unique<StorageStatusModel>(gated.lister());
    QSignalSpy finished(model.get(), &StorageStatusModel::refreshFinished);
    model->startRefresh();
    ASSERT_TRUE(waitUntil([&] { return gated.read([](auto& s) { return s.calls; }) == 1; }));
    EXPECT_TRUE(model->isLoading());
    model->startRefresh();  // one is running: no second
    QCoreApplication::processEvents();
    EXPECT_EQ(gated.read([](auto& s) { return s.calls; }), 1);

    gated.open({volume("/", true)});
    ASSERT_TRUE(waitUntil([&] { return !model->isLoading(); }));
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(model->selection(), std::filesystem::path("/"));

    // A listing that hangs: the model goes away without waiting for it, and
    // what it hands back later reaches nobody.
    GatedLister hung;
    model = std::make_unique<StorageStatusModel>(hung.lister());
    model->startRefresh();
    ASSERT_TRUE(waitUntil([&] { return hung.read([](auto& s) { return s.calls; }) == 1; }));
    model.reset();
    hung.open({volume("/late", true)});
    ASSERT_TRUE(waitUntil([&] { return hung.read([](auto& s) { return s.returned; }); }));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace kelvane::operations::test
