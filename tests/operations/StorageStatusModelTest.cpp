// SPDX-License-Identifier: MIT
#include "operations/windows/StorageStatusModel.h"

#include "OperationsTestSupport.h"
#include "support/ScriptedVolumeLister.h"

#include <QSignalSpy>


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
    kelvane::test::ScriptedVolumeLister gated;
    gated.setGate(false);
    auto model = std::make_unique<StorageStatusModel>(gated.lister());
    QSignalSpy finished(model.get(), &StorageStatusModel::refreshFinished);
    model->startRefresh();
    ASSERT_TRUE(waitUntil([&] { return gated.calls() == 1; }));
    EXPECT_TRUE(model->isLoading());
    model->startRefresh();  // one is running: no second
    QCoreApplication::processEvents();
    EXPECT_EQ(gated.calls(), 1);

    gated.push({volume("/", true)});
    gated.setGate(true);
    ASSERT_TRUE(waitUntil([&] { return !model->isLoading(); }));
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(model->selection(), std::filesystem::path("/"));

    // A listing that hangs: the model goes away without waiting for it, and
    // what it hands back later reaches nobody.
    kelvane::test::ScriptedVolumeLister hung;
    hung.setGate(false);
    model = std::make_unique<StorageStatusModel>(hung.lister());
    model->startRefresh();
    ASSERT_TRUE(waitUntil([&] { return hung.calls() == 1; }));
    model.reset();
    hung.push({volume("/late", true)});
    hung.setGate(true);
    ASSERT_TRUE(waitUntil([&] { return hung.finished() == 1; }));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace kelvane::operations::test
