// SPDX-License-Identifier: MIT
#include "store/CompressionLog.h"
#include "store/FileSnapshot.h"
#include "store/IncompressibleFile.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "store/StoreError.h"
#include "store/StoreTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace kelvane::store {
namespace {

using test::RawDatabase;
using test::dateAt;
using kelvane::test::TempDir;
using Log = CompressionLog::Attributes;

std::shared_ptr<CompressionLog> makeLog(std::string path, std::int64_t executedAt, std::string operation,
                                        std::int64_t sizeBefore, bool success,
                                        std::optional<std::string> errorMessage = std::nullopt,
                                        std::int64_t durationMs = 10) {
    return std::make_shared<CompressionLog>(Uuid::random(), dateAt(executedAt), std::move(operation), std::move(path),
                                            sizeBefore, sizeBefore / 2, "LZFSE", durationMs, success,
                                            std::move(errorMessage));
}

std::shared_ptr<RegisteredItem> makeItem(std::string name, std::string kind = "folder") {
    return std::make_shared<RegisteredItem>(Uuid::random(), ByteData{1, 2, 3}, std::move(kind), true, dateAt(1000),
                                            std::move(name));
}

std::shared_ptr<FileSnapshot> makeSnapshot(const std::shared_ptr<RegisteredItem>& item, std::string path) {
    return std::make_shared<FileSnapshot>(Uuid::random(), item, std::move(path), 1, 100, 50, true, "LZFSE",
                                          dateAt(10), dateAt(20));
}

template <class M>
std::vector<std::string> pathsOf(const std::vector<std::shared_ptr<M>>& records) {
    std::vector<std::string> paths;
    for (const auto& record : records) paths.push_back(record->targetPath());
    return paths;
}

struct NamedQuery {
    std::string name;
    FetchDescriptor<CompressionLog> descriptor;
};

std::vector<NamedQuery> sampleQueries() {
    std::vector<std::string> many;
    for (int i = 0; i < 700; ++i) many.push_back("/none/" + std::to_string(i));
    many.insert(many.end(), {"/a", "/é", "/B"});
    return {
        {"all, store order", {}},
        {"failures", {Log::success == false}},
        {"no error message", {Log::errorMessage == std::nullopt}},
        {"error message other than x", {Log::errorMessage != std::optional<std::string>("x")}},
        {"error message after a", {Log::errorMessage > std::optional<std::string>("a")}},
        {"big compressions", {Log::sizeBefore > 100 && !(Log::operation == "decompress")}},
        {"early or slow", {Log::executedAt < dateAt(103) || Log::durationMs >= 50}},
        {"small set", {isIn(Log::targetPath, std::vector<std::string>{"/a", "/c", "/zzz"})}},
        {"large set", {isIn(Log::targetPath, many)}},
        {"not in large set", {!isIn(Log::targetPath, many) && Log::sizeBefore <= 500}},
        {"size descending", {{{Log::sizeBefore, SortOrder::reverse}}}},
        {"error message ascending", {{{Log::errorMessage}}}},
        {"path bytewise, then date", {{{Log::targetPath}, {Log::executedAt, SortOrder::reverse}}}},
    };
}

std::vector<std::shared_ptr<CompressionLog>> sampleLogs() {
    return {
        makeLog("/a", 100, "compress", 500, true),
        makeLog("/B", 101, "compress", 50, false, "x"),
        makeLog("/c", 102, "decompress", 500, true),
        makeLog("/é", 103, "compress", 7000, false, "b", 80),
        makeLog("/a", 104, "decompress", 0, false, "A"),
        makeLog("/d", 99, "compress", 500, true, std::nullopt, 50),
    };
}

// A store of its own in a fresh folder, and the window's context on it.
class ModelContextTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::filesystem::path path = dir / "store.sqlite";
    std::shared_ptr<ModelContainer> container = makeModelContainer(path);
    ModelContext& context = container->mainContext();
};

TEST_F(ModelContextTest, FetchesAgreeWhetherTheRecordsAreSavedOrStillPending) {
    for (const auto& log : sampleLogs()) context.insert(log);

    const auto queries = sampleQueries();
    std::vector<std::vector<std::string>> pending;
    for (const auto& query : queries) pending.push_back(pathsOf(context.fetch(query.descriptor)));
    context.save();
    auto fresh = container->makeContext();
    for (std::size_t i = 0; i < queries.size(); ++i) {
        SCOPED_TRACE(queries[i].name);
        EXPECT_EQ(pathsOf(context.fetch(queries[i].descriptor)), pending[i]);
        EXPECT_EQ(pathsOf(fresh->fetch(queries[i].descriptor)), pending[i]);
    }

    using Paths = std::vector<std::string>;
    EXPECT_EQ(pending[0], (Paths{"/a", "/B", "/c", "/é", "/a", "/d"}));
    EXPECT_EQ(pending[1], (Paths{"/B", "/é", "/a"}));
    EXPECT_EQ(pending[2], (Paths{"/a", "/c", "/d"}));
    EXPECT_EQ(pending[3], (Paths{"/a", "/c", "/é", "/a", "/d"}));  // absent counts as different
    EXPECT_EQ(pending[4], (Paths{"/B", "/é"}));                      // absent is never greater
    EXPECT_EQ(pending[5], (Paths{"/a", "/é", "/d"}));
    EXPECT_EQ(pending[6], (Paths{"/a", "/B", "/c", "/é", "/d"}));
    EXPECT_EQ(pending[7], (Paths{"/a", "/c", "/a"}));
    EXPECT_EQ(pending[8], (Paths{"/a", "/B", "/é", "/a"}));
    EXPECT_EQ(pending[9], (Paths{"/c", "/d"}));
    EXPECT_EQ(pending[10], (Paths{"/é", "/a", "/c", "/d", "/B", "/a"}));  // ties keep the store order
    EXPECT_EQ(pending[11], (Paths{"/a", "/c", "/d", "/a", "/é", "/B"}));  // absent first, then bytewise
    EXPECT_EQ(pending[12], (Paths{"/B", "/a", "/a", "/c", "/d", "/é"}));
    EXPECT_EQ(test::storedNanoseconds(fresh->fetch(queries[12].descriptor)[1]->executedAt()),
              test::storedNanoseconds(dateAt(104)));
}

TEST_F(ModelContextTest, UnsavedChangesAndDeletesShapeWhatAFetchReturns) {
    for (const auto& log : sampleLogs()) context.insert(log);
    context.save();

    auto logs = context.fetch<CompressionLog>();
    logs[0]->setSuccess(false);         // now a failure
    logs[1]->setSuccess(true);          // no longer one
    logs[2]->setSizeBefore(1'000'000);  // moves to the front when sorted by size
    context.remove(logs[3]);
    context.insert(makeLog("/new", 200, "compress", 1, false));
    EXPECT_TRUE(context.hasChanges());

    const FetchDescriptor<CompressionLog> failures(Log::success == false);
    EXPECT_EQ(pathsOf(context.fetch(failures)), (std::vector<std::string>{"/a", "/a", "/new"}));
    EXPECT_EQ(pathsOf(context.fetch(FetchDescriptor<CompressionLog>({{Log::sizeBefore, SortOrder::reverse}}))),
              (std::vector<std::string>{"/c", "/a", "/d", "/B", "/new", "/a"}));

    // Another context sees only what is saved; after the save it sees the same.
    auto other = container->makeContext();
    EXPECT_EQ(pathsOf(other->fetch(failures)), (std::vector<std::string>{"/B", "/é", "/a"}));
    context.save();
    EXPECT_FALSE(context.hasChanges());
    EXPECT_EQ(pathsOf(other->fetch(failures)), (std::vector<std::string>{"/a", "/a", "/new"}));
    EXPECT_TRUE(logs[3]->isDeleted());
}

TEST_F(ModelContextTest, ARecordIsOneObjectPerContextAndShowsTheLatestSavedValues) {
    auto item = makeItem("Projects");
    context.insert(item);
    EXPECT_FALSE(item->persistentIdentifier());
    context.save();
    ASSERT_TRUE(item->persistentIdentifier());

    EXPECT_EQ(context.fetch<RegisteredItem>().front(), item);
    auto other = container->makeContext();
    auto copy = other->fetch<RegisteredItem>().front();
    EXPECT_NE(copy, item);
    EXPECT_EQ(copy->persistentIdentifier(), item->persistentIdentifier());

    item->setNotes("renamed folder");
    context.save();
    // An unchanged record picks up what another context saved ...
    EXPECT_EQ(other->fetch<RegisteredItem>().front()->notes(), std::optional<std::string>("renamed folder"));
    // ... but a pending change of its own wins.
    copy->setDisplayName("Mine");
    item->setDisplayName("Theirs");
    context.save();
    EXPECT_EQ(other->fetch<RegisteredItem>().front()->displayName(), "Mine");
    // Dropping the change goes back to what this context last read; the next fetch brings it up to date.
    other->rollback();
    EXPECT_EQ(copy->displayName(), "Projects");
    EXPECT_EQ(other->fetch<RegisteredItem>().front()->displayName(), "Theirs");

    // A record of one context cannot be put into another.
    EXPECT_THROW(other->insert(item), StoreError);
}

TEST_F(ModelContextTest, AFailedSaveIsRolledBackAndItsChangesNeverAppearLater) {
    auto first = std::make_shared<IncompressibleFile>("/a", dateAt(1), 1);
    auto second = std::make_shared<IncompressibleFile>("/b", dateAt(2), 2);
    auto log = makeLog("/kept", 5, "compress", 10, true);
    context.insert(first);
    context.insert(second);
    context.insert(log);
    context.save();

    int saves = 0;
    container->addSaveObserver([&](const SaveNotification&) { ++saves; });

    // One save: an insert, a delete and a change that breaks the unique path.
    auto pending = makeItem("never saved");
    context.insert(pending);
    context.remove(log);
    second->setTargetPath("/a");
    try {
        context.save();
        FAIL() << "a duplicate path must not be saved";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.code(), StoreError::Code::saveFailed) << error.what();
    }
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(context.hasChanges());
    EXPECT_EQ(second->targetPath(), "/b");
    EXPECT_FALSE(log->isDeleted());
    EXPECT_FALSE(pending->isInserted());
    EXPECT_TRUE(context.fetch<RegisteredItem>().empty());
    EXPECT_EQ(pathsOf(context.fetch<CompressionLog>()), std::vector<std::string>{"/kept"});
    EXPECT_EQ(pathsOf(context.fetch<IncompressibleFile>()), (std::vector<std::string>{"/a", "/b"}));

    // A later successful save does not bring any of it back.
    context.insert(makeItem("saved later"));
    context.save();
    EXPECT_EQ(saves, 1);
    RawDatabase db(path);
    EXPECT_EQ(db.query("SELECT displayName FROM RegisteredItem"), (std::vector<std::vector<std::string>>{{"saved later"}}));
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM CompressionLog"), 1);
    EXPECT_EQ(db.query("SELECT targetPath FROM IncompressibleFile ORDER BY pk"),
              (std::vector<std::vector<std::string>>{{"/a"}, {"/b"}}));
}

TEST(ModelContextSharingTest, ASaveBlockedByAnotherWriterFailsWholeAndTheNextSaveIsClean) {
    TempDir dir;
    const auto path = dir / "store.sqlite";
    auto container = ModelContainer::open({path, std::chrono::milliseconds(100)});
    auto& context = container->mainContext();

    RawDatabase otherProcess(path);
    otherProcess.exec("BEGIN IMMEDIATE");
    context.insert(makeItem("blocked"));
    context.insert(makeLog("/blocked", 1, "compress", 1, true));
    try {
        context.save();
        FAIL() << "the write lock is taken";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.code(), StoreError::Code::saveFailed);
        EXPECT_EQ(error.sqliteCode() & 0xFF, SQLITE_BUSY) << error.what();
    }
    otherProcess.exec("ROLLBACK");

    context.insert(makeItem("after"));
    context.save();
    RawDatabase db(path);
    EXPECT_EQ(db.query("SELECT displayName FROM RegisteredItem"), (std::vector<std::vector<std::string>>{{"after"}}));
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM CompressionLog"), 0);
}

TEST_F(ModelContextTest, IncompressibleFilesStayUniqueByPath) {
    auto original = std::make_shared<IncompressibleFile>("/a.jpg", dateAt(1), 100);
    context.insert(original);
    context.save();

    // Inserting a known path updates the stored record, also the object this context holds.
    context.insert(std::make_shared<IncompressibleFile>("/a.jpg", dateAt(2), 200));
    context.insert(std::make_shared<IncompressibleFile>("/b.jpg", dateAt(2), 5));
    context.insert(std::make_shared<IncompressibleFile>("/b.jpg", dateAt(3), 6));
    context.save();
    EXPECT_EQ(original->sizeAtRecord(), 200);
    EXPECT_EQ(test::storedNanoseconds(original->recordedAt()), test::storedNanoseconds(dateAt(2)));
    RawDatabase db(path);
    EXPECT_EQ(db.query("SELECT targetPath, sizeAtRecord FROM IncompressibleFile ORDER BY targetPath"),
              (std::vector<std::vector<std::string>>{{"/a.jpg", "200"}, {"/b.jpg", "6"}}));

    // Linux paths need not be UTF-8: such a path is kept byte for byte and found again.
    const std::string oddPath = "/data/\xff\xfe\x80name\x01.bin";
    context.insert(std::make_shared<IncompressibleFile>(oddPath, dateAt(5), 5));
    context.save();
    auto fresh = container->makeContext();
    auto found = fresh->fetch(FetchDescriptor<IncompressibleFile>(IncompressibleFile::Attributes::targetPath == oddPath));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->targetPath(), oddPath);
    context.remove(context.fetch(FetchDescriptor<IncompressibleFile>(
                                     isIn(IncompressibleFile::Attributes::targetPath, std::set<std::string>{oddPath})))
                       .at(0));
    context.save();

    // Clearing a path and recording it again in one save keeps the new record.
    context.remove(original);
    context.insert(std::make_shared<IncompressibleFile>("/a.jpg", dateAt(4), 400));
    context.save();
    EXPECT_EQ(db.query("SELECT targetPath, sizeAtRecord FROM IncompressibleFile ORDER BY targetPath"),
              (std::vector<std::vector<std::string>>{{"/a.jpg", "400"}, {"/b.jpg", "6"}}));
}

TEST_F(ModelContextTest, DeletingAnItemDeletesItsSnapshotsAndNothingElse) {
    auto doomed = makeItem("doomed");
    auto kept = makeItem("kept", "file");
    // Snapshots inserted before their item still find its key at the save.
    auto doomedFirst = makeSnapshot(doomed, "one");
    context.insert(doomedFirst);
    context.insert(doomed);
    context.insert(makeSnapshot(doomed, "two"));
    context.insert(kept);
    auto keptSnapshot = makeSnapshot(kept, "a");
    context.insert(keptSnapshot);
    context.insert(makeSnapshot(kept, "b"));
    context.insert(makeLog("/history", 1, "compress", 1, true));
    context.save();
    ASSERT_EQ(doomed->snapshots().size(), 2u);

    std::vector<std::string> announced;
    container->addSaveObserver([&](const SaveNotification& n) {
        announced.assign(n.changedEntities.begin(), n.changedEntities.end());
    });

    // Deleting a snapshot leaves its item.
    context.remove(keptSnapshot);
    context.save();
    EXPECT_EQ(kept->snapshots().size(), 1u);
    EXPECT_EQ(announced, std::vector<std::string>{"FileSnapshot"});

    // An unsaved snapshot of an item about to go goes with it.
    context.insert(makeSnapshot(doomed, "three"));
    context.remove(doomed);
    EXPECT_EQ(context.fetch<FileSnapshot>().size(), 1u);
    context.save();
    EXPECT_TRUE(doomedFirst->isDeleted());
    EXPECT_EQ(announced, (std::vector<std::string>{"FileSnapshot", "RegisteredItem"}));

    RawDatabase db(path);
    EXPECT_EQ(db.query("SELECT displayName FROM RegisteredItem"), (std::vector<std::vector<std::string>>{{"kept"}}));
    EXPECT_EQ(db.query("SELECT relativePath FROM FileSnapshot"), (std::vector<std::vector<std::string>>{{"b"}}));
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM CompressionLog"), 1);

    // The file cascades on its own too: a second connection deleting an item.
    auto other = container->makeContext();
    other->remove(other->fetch<RegisteredItem>().front());
    other->save();
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM FileSnapshot"), 0);
}

TEST(ModelContextSharingTest, AReadOnlyContextReadsButNeverWrites) {
    TempDir dir;
    const auto path = dir / "store.sqlite";
    auto container = makeModelContainer(path);
    container->mainContext().insert(makeItem("one"));
    container->mainContext().save();

    auto headless = container->makeContext(ModelContext::Access::readOnly);
    auto items = headless->fetch<RegisteredItem>();
    ASSERT_EQ(items.size(), 1u);
    items[0]->setDisplayName("changed");
    headless->insert(makeItem("two"));
    try {
        headless->save();
        FAIL() << "a read-only context saved";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.code(), StoreError::Code::readOnly);
    }
    EXPECT_EQ(items[0]->displayName(), "one");
    EXPECT_FALSE(headless->hasChanges());
    EXPECT_EQ(RawDatabase(path).query("SELECT displayName FROM RegisteredItem"),
              (std::vector<std::vector<std::string>>{{"one"}}));
}

TEST(ModelContextSharingTest, TheWindowWritesWhileTheHeadlessRunReads) {
    TempDir dir;
    dir.useAsHome();
    const auto path = dir / "store.sqlite";
    auto window = makeModelContainer(path);
    // The headless run is another process: its own container on the same file.
    auto headlessContainer = makeModelContainer(path);
    auto headless = headlessContainer->makeContext(ModelContext::Access::readOnly);

    constexpr int batches = 40;
    constexpr int perBatch = 25;
    std::atomic<bool> readerFailed{false};
    std::string readerError;
    std::thread reader([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        try {
            std::size_t seen = 0;
            while (seen < batches * perBatch && std::chrono::steady_clock::now() < deadline) {
                seen = headless->fetch<CompressionLog>().size();
                // A save is one transaction: never half a batch.
                if (seen % perBatch != 0) throw std::runtime_error("saw " + std::to_string(seen) + " records");
            }
            if (seen != batches * perBatch) throw std::runtime_error("never saw every record");
        } catch (const std::exception& error) {
            readerError = error.what();
            readerFailed = true;
        }
    });
    for (int batch = 0; batch < batches; ++batch) {
        for (int i = 0; i < perBatch; ++i) {
            window->mainContext().insert(makeLog("/f" + std::to_string(batch * perBatch + i), batch, "compress", i, true));
        }
        window->mainContext().save();
    }
    reader.join();
    EXPECT_FALSE(readerFailed) << readerError;
    EXPECT_EQ(headless->fetch<CompressionLog>().size(), static_cast<std::size_t>(batches * perBatch));
}

TEST_F(ModelContextTest, SaveObserversHearEachSuccessfulSaveWithWhatChanged) {
    std::vector<SaveNotification> heard;
    auto token = container->addSaveObserver([&](const SaveNotification& n) { heard.push_back(n); });

    context.save();  // nothing to write: nobody is told
    EXPECT_TRUE(heard.empty());

    context.insert(makeLog("/x", 1, "compress", 1, true));
    context.insert(std::make_shared<IncompressibleFile>("/y", dateAt(1), 1));
    context.save();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].context, &context);
    EXPECT_TRUE(heard[0].touches<CompressionLog>());
    EXPECT_TRUE(heard[0].touches<IncompressibleFile>());
    EXPECT_FALSE(heard[0].touches<RegisteredItem>());

    // A setter that stores the value already there changes nothing.
    auto log = context.fetch<CompressionLog>().front();
    log->setTargetPath("/x");
    EXPECT_FALSE(context.hasChanges());
    context.save();
    EXPECT_EQ(heard.size(), 1u);

    auto other = container->makeContext();
    other->insert(makeItem("from elsewhere"));
    other->save();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].context, other.get());
    EXPECT_TRUE(heard[1].touches<RegisteredItem>());

    container->removeSaveObserver(token);
    context.insert(makeItem("unheard"));
    context.save();
    EXPECT_EQ(heard.size(), 2u);
}

TEST_F(ModelContextTest, AReferenceToARecordThatIsNotSavedFailsTheWholeSave) {
    auto loose = makeItem("never inserted");
    context.insert(makeLog("/with it", 1, "compress", 1, true));
    context.insert(makeSnapshot(loose, "orphan"));
    try {
        context.save();
        FAIL() << "saved a reference to nothing";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.code(), StoreError::Code::saveFailed) << error.what();
    }
    RawDatabase db(path);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM CompressionLog"), 0);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM FileSnapshot"), 0);
}

}  // namespace
}  // namespace kelvane::store
