// SPDX-License-Identifier: MIT
// The main window's model driven as the window drives it, with no widget:
// removing registrations, and the status cells' inspections.
#include "operations/windows/MainWindowModel.h"
#include "operations/windows/StatusInspections.h"

#include "operations/rows/FileStatusCache.h"
#include "operations/rows/RowId.h"
#include "store/ModelContext.h"
#include "store/RegisteredItem.h"

#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>

namespace kelvane::operations {
namespace {

namespace fs = std::filesystem;

DisplayRow fileRow(const RowId& id, const fs::path& url)
{
    DisplayRow row;
    row.id = id;
    row.url = url;
    return row;
}

DisplayRow fileRow(const char* word, const fs::path& url) { return fileRow(test::rowId(word), url); }

bool finished(const TaskHandle& task)
{
    return test::waitUntil([&] { return task.isFinished(); });
}

// An inspector whose files are held on the worker until the test lets them
// go, and which answers each file with the number of times it was asked.
class HeldInspector {
public:
    StatusInspections::Inspector inspector()
    {
        return [state = state_](const fs::path& url) {
            std::unique_lock lock(state->mutex);
            const int call = ++state->calls[url.string()];
            state->changed.wait(lock, [&] { return !state->held.contains(url.string()); });
            return FileStatusEntry(FileStatusEntry::error{url.string() + "#" + std::to_string(call)});
        };
    }
    void hold(const std::string& path)
    {
        std::lock_guard lock(state_->mutex);
        state_->held.insert(path);
    }
    void release()
    {
        std::lock_guard lock(state_->mutex);
        state_->held.clear();
        state_->changed.notify_all();
    }
    int calls(const std::string& path) const
    {
        std::lock_guard lock(state_->mutex);
        const auto it = state_->calls.find(path);
        return it == state_->calls.end() ? 0 : it->second;
    }
    ~HeldInspector() { release(); }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::set<std::string> held;
        std::map<std::string, int> calls;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

FileStatusEntry answer(const std::string& path, int call)
{
    return FileStatusEntry::error{path + "#" + std::to_string(call)};
}

class StatusInspectionsTest : public ::testing::Test {
protected:
    void SetUp() override { test::application(); }

    HeldInspector held_;
    FileStatusCache cache_;
    StatusInspections inspections_{cache_, held_.inspector()};
};

TEST_F(StatusInspectionsTest, ARowInFlightIsNotScheduledAgainUnlessRetried)
{
    held_.hold("/a");
    const TaskHandle first = inspections_.inspect({fileRow("a", "/a")});
    EXPECT_TRUE(inspections_.isInFlight(test::rowId("a")));
    EXPECT_FALSE(first.isFinished());

    // "a" is on its way: only "b" goes out, and a batch of nothing new is done at once.
    const TaskHandle second = inspections_.inspect({fileRow("a", "/a"), fileRow("b", "/b")});
    const TaskHandle nothing = inspections_.inspectUninspected({fileRow("a", "/a")});
    EXPECT_TRUE(nothing.isFinished());
    ASSERT_TRUE(finished(second));
    EXPECT_EQ(cache_.entry(test::rowId("b")), answer("/b", 1));
    EXPECT_FALSE(inspections_.isInFlight(test::rowId("b")));
    EXPECT_TRUE(inspections_.isInFlight(test::rowId("a")));

    // A retry goes out although "a" is still in flight.
    const TaskHandle retry = inspections_.inspect({fileRow("a", "/a")}, true);
    held_.release();
    ASSERT_TRUE(finished(first));
    ASSERT_TRUE(finished(retry));
    EXPECT_EQ(held_.calls("/a"), 2);
    EXPECT_EQ(held_.calls("/b"), 1);
    EXPECT_FALSE(inspections_.isInFlight(test::rowId("a")));
    EXPECT_TRUE(cache_.entry(test::rowId("a")).as<FileStatusEntry::error>());
}

TEST_F(StatusInspectionsTest, ResultsReadBeforeForgettingAreDropped)
{
    held_.hold("/a");
    const TaskHandle stale = inspections_.inspect({fileRow("a", "/a")});
    inspections_.forgetInFlight();
    EXPECT_FALSE(inspections_.isInFlight(test::rowId("a")));

    // Forgotten, so "a" goes out again at once; the old result is still held
    // on its worker until the new one is in.
    const TaskHandle fresh = inspections_.inspect({fileRow("a", "/a")});
    EXPECT_TRUE(inspections_.isInFlight(test::rowId("a")));
    ASSERT_TRUE(test::waitUntil([&] { return held_.calls("/a") == 2; }));
    held_.release();
    ASSERT_TRUE(finished(fresh));
    ASSERT_TRUE(finished(stale));
    EXPECT_FALSE(inspections_.isInFlight(test::rowId("a")));
    // Both were let go together: only the batch asked for after forgetting
    // wrote to the cache, whichever came back first.
    EXPECT_EQ(cache_.version(), 1);
    EXPECT_TRUE(cache_.entry(test::rowId("a")).as<FileStatusEntry::error>());

    // The stale answer arriving after the fresh one changes nothing either.
    held_.hold("/a");
    const TaskHandle late = inspections_.inspect({fileRow("a", "/a")}, true);
    inspections_.forgetInFlight();
    ASSERT_TRUE(test::waitUntil([&] { return held_.calls("/a") == 3; }));
    cache_.setEntry(FileStatusEntry::notFound{}, test::rowId("a"));
    held_.release();
    ASSERT_TRUE(finished(late));
    EXPECT_EQ(cache_.entry(test::rowId("a")), FileStatusEntry(FileStatusEntry::notFound{}));
    EXPECT_EQ(cache_.version(), 2);
}

TEST_F(StatusInspectionsTest, OnlyRowsWithoutAStateAreInspectedAsTheyComeIntoView)
{
    cache_.setEntries({{test::rowId("known"), FileStatusEntry::notFound{}}, {test::rowId("reset"), FileStatusEntry::notInspected{}}});
    const TaskHandle task = inspections_.inspectUninspected(
        {fileRow("known", "/known"), fileRow("reset", "/reset"), fileRow("new", "/new")});
    ASSERT_TRUE(finished(task));
    EXPECT_EQ(held_.calls("/known"), 0);
    EXPECT_EQ(cache_.entry(test::rowId("known")), FileStatusEntry(FileStatusEntry::notFound{}));
    EXPECT_EQ(cache_.entry(test::rowId("reset")), answer("/reset", 1));
    EXPECT_EQ(cache_.entry(test::rowId("new")), answer("/new", 1));
}

TEST_F(StatusInspectionsTest, ResultsArrivingAfterTheirOwnerIsGoneAreDroppedSafely)
{
    auto inspections = std::make_unique<StatusInspections>(cache_, held_.inspector());
    held_.hold("/a");
    const TaskHandle task = inspections->inspect({fileRow("a", "/a")});
    inspections.reset();
    held_.release();
    ASSERT_TRUE(finished(task));
    EXPECT_TRUE(cache_.entry(test::rowId("a")).as<FileStatusEntry::notInspected>());
}

// --- the window model ---------------------------------------------------------------

class MainWindowModelTest : public test::ModelFixture {
protected:
    fs::path makeFile(const std::string& name)
    {
        const fs::path path = dir_.path() / name;
        std::ofstream(path) << std::string(6000, 'x');
        return path;
    }
    std::vector<std::string> storedNames(store::ModelContext& context)
    {
        std::vector<std::string> names;
        for (const auto& item : context.fetch(store::FetchDescriptor<store::RegisteredItem>()))
            names.push_back(item->displayName());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> storedNames()
    {
        auto reader = container_->makeContext(store::ModelContext::Access::readOnly);
        return storedNames(*reader);
    }
};

TEST_F(MainWindowModelTest, RemovingRegistrationsTakesOnlyRegisteredRowsAndKeepsTheFiles)
{
    store::ModelContext& context = container_->mainContext();
    const fs::path a = makeFile("a.txt");
    fs::create_directories(dir_.path() / "Docs");
    auto fileA = test::registerItem(context, a, ItemKind::file);
    auto docs = test::registerItem(context, dir_.path() / "Docs", ItemKind::folder);
    auto fileB = test::registerItem(context, makeFile("b.txt"), ItemKind::file);
    model_->setItems({fileA, docs, fileB});

    // An item that is not shown is left alone.
    model_->removeRegistrations({fileA->id(), ItemId::random()});
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Docs", "b.txt"}));
    EXPECT_FALSE(model_->errorMessage());
    EXPECT_TRUE(fs::exists(a));
    EXPECT_FALSE(context.hasChanges());
}

TEST_F(MainWindowModelTest, ARemovalThatCannotBeSavedIsUndoneAndExplained)
{
    store::ModelContext& context = container_->mainContext();
    test::registerItem(context, makeFile("a.txt"), ItemKind::file);
    test::registerItem(context, makeFile("b.txt"), ItemKind::file);

    // A store that may not be written: the save fails and takes the removal back.
    auto reader = container_->makeContext(store::ModelContext::Access::readOnly);
    MainWindowModel model(*cache_, *reader);
    model.setItems(reader->fetch(store::FetchDescriptor<store::RegisteredItem>()));
    ASSERT_EQ(model.items().size(), 2u);
    model.removeRegistrations({model.items()[0]->id()});
    ASSERT_TRUE(model.errorMessage());
    EXPECT_TRUE(model.errorMessage()->starts_with("登録の削除を保存できませんでした。\n対処: アプリを再起動してから再度お試しください。\n詳細: "))
        << *model.errorMessage();
    EXPECT_FALSE(reader->hasChanges());
    EXPECT_EQ(storedNames(*reader), (std::vector<std::string>{"a.txt", "b.txt"}));

    // Items of another context cannot be removed through this one: refused,
    // explained, and nothing is left pending for a later save.
    model_->setItems(reader->fetch(store::FetchDescriptor<store::RegisteredItem>()));
    model_->removeRegistrations({model_->items()[1]->id()});
    EXPECT_TRUE(model_->errorMessage());
    EXPECT_FALSE(context.hasChanges());
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(MainWindowModelTest, RefreshingEverythingDropsOlderInspectionsAndInspectsRegisteredFiles)
{
    store::ModelContext& context = container_->mainContext();
    const fs::path kept = makeFile("kept.txt");
    const fs::path gone = makeFile("gone.txt");
    auto keptItem = test::registerItem(context, kept, ItemKind::file);
    auto goneItem = test::registerItem(context, gone, ItemKind::file);
    model_->setItems({keptItem, goneItem});
    fs::remove(gone);

    // Results on their way when everything is refreshed were read before it:
    // the event loop has not run, so they can only arrive after the refresh.
    const RowId child = RowId::child(ItemId::random(), kept);
    const TaskHandle before = model_->inspectUninspected({fileRow(child, kept)});
    EXPECT_TRUE(model_->isInspecting(child));
    model_->refreshAll();
    EXPECT_FALSE(model_->isInspecting(child));
    ASSERT_TRUE(finished(before));
    EXPECT_FALSE(cache_->entries().contains(child));

    const RowId keptId = RowId::registered(keptItem->id());
    const RowId goneId = RowId::registered(goneItem->id());
    ASSERT_TRUE(test::waitUntil([&] {
        return cache_->entry(keptId).info() && !cache_->entry(goneId).as<FileStatusEntry::notInspected>();
    }));
    EXPECT_EQ(cache_->entry(keptId).info()->logicalSize, 6000u);
    EXPECT_FALSE(model_->isInspecting(keptId));

    // A retry reads the file again even though it has a state.
    std::ofstream(kept, std::ios::app) << "more";
    const TaskHandle retry = model_->retryInspection(fileRow(keptId, kept));
    EXPECT_TRUE(cache_->entry(keptId).as<FileStatusEntry::notInspected>());
    ASSERT_TRUE(finished(retry));
    ASSERT_TRUE(cache_->entry(keptId).info());
    EXPECT_EQ(cache_->entry(keptId).info()->logicalSize, 6004u);
}

TEST_F(MainWindowModelTest, FoldersAreLoadedAgainOnlyWhenTheItemsReallyChanged)
{
    store::ModelContext& context = container_->mainContext();
    fs::create_directories(dir_.path() / "Docs");
    auto docs = test::registerItem(context, dir_.path() / "Docs", ItemKind::folder);
    model_->setItems({docs});
    const auto first = model_->reloadIfItemsChanged();
    ASSERT_TRUE(first);
    EXPECT_FALSE(model_->reloadIfItemsChanged());

    // Another item: the running load is cancelled for a new one.
    auto file = test::registerItem(context, makeFile("a.txt"), ItemKind::file);
    model_->setItems({docs, file});
    const auto second = model_->reloadIfItemsChanged();
    ASSERT_TRUE(second);
    EXPECT_FALSE(*second == *first);
    EXPECT_TRUE(first->isCancelled() || first->isFinished());
    ASSERT_TRUE(finished(*second));
    EXPECT_TRUE(model_->folderChildren().contains(docs->id()));
    EXPECT_FALSE(model_->reloadIfItemsChanged());
}

}  // namespace
}  // namespace kelvane::operations
