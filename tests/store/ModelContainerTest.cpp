// SPDX-License-Identifier: MIT
#include "store/CompressionLog.h"
#include "store/FileSnapshot.h"
#include "store/IncompressibleFile.h"
#include "store/KelvaneMigrationPlan.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "store/StoreError.h"
#include "store/StoreTestSupport.h"
#include "support/SmallFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <thread>
#include <functional>
#include <map>

namespace kelvane::store {
namespace {

using test::RawDatabase;
using kelvane::test::TempDir;
using kelvane::test::readRawFile;
using kelvane::test::writeRawFile;

const std::string itemA = "x'00112233445566778899aabbccddeeff'";
const std::string itemB = "x'ffeeddccbbaa99887766554433221100'";

// A 1.0.0 store as an earlier Kelvane left it: rows in every table, odd
// values included (an unknown kind, an empty bookmark, NULLs).
void writeVersion1Store(const std::filesystem::path& path) {
    RawDatabase db(path, true);
    db.exec("BEGIN");
    db.execAll(SchemaV1::statements());
    db.exec("INSERT INTO RegisteredItem (id, bookmark, kind, includeSubfolders, registeredAt, displayName, notes) VALUES "
            "(" + itemA + ", x'0102ff', 'folder', 1, 1700000000123456789, 'Projects', NULL),"
            "(" + itemB + ", x'', 'file', 0, 1700000001000000001, 'ノート.txt', 'keep me'),"
            "(x'0000000000000000000000000000000a', x'00', 'mystery', 1, -5, 'odd', NULL)");
    db.exec("INSERT INTO FileSnapshot (id, registeredItem, relativePath, inode, logicalSize, physicalSize, isCompressed, "
            "algorithm, mtime, lastObservedAt) VALUES "
            "(x'0000000000000000000000000000a001', 1, 'src/main.c', 42, 1000, 400, 1, 'LZFSE', 1600000000000000000, 1700000000000000000),"
            "(x'0000000000000000000000000000a002', 1, 'README', 43, 10, 4096, 0, NULL, 1600000000000000001, 1700000000000000001),"
            "(x'0000000000000000000000000000b001', 2, '', 7, 5, 5, 0, NULL, 0, 0)");
    db.exec("INSERT INTO CompressionLog (id, executedAt, operation, targetPath, sizeBefore, sizeAfter, algorithm, "
            "durationMs, success, errorMessage) VALUES "
            "(x'000000000000000000000000000c0001', 1700000100000000000, 'compress', '/home/u/a.bin', 9000000000, 3000, 'LZFSE', 12, 1, NULL),"
            "(x'000000000000000000000000000c0002', 1700000200000000000, 'decompress', '/home/u/b.bin', 10, 20, 'LZFSE', 0, 0, 'ioError(\"read: errno=5\")'),"
            "(x'000000000000000000000000000c0002', 1700000200000000000, 'decompress', '/home/u/b.bin', 10, 20, 'LZFSE', 0, 0, 'ioError(\"read: errno=5\")')");
    db.exec("COMMIT");
}

std::string dumpOf(const std::filesystem::path& path) {
    RawDatabase db(path);
    return db.dump();
}

TEST(ModelContainerTest, CreatesAMissingStoreWholeAtTheCurrentVersion) {
    TempDir dir;
    const auto path = dir / "store.sqlite";
    {
        auto container = makeModelContainer(path);
        EXPECT_EQ(container->schemaVersion(), SchemaV2::versionIdentifier);
        EXPECT_TRUE(container->mainContext().fetch<RegisteredItem>().empty());
        container->mainContext().insert(std::make_shared<IncompressibleFile>("/x", test::dateAt(1), 9));
        container->mainContext().save();
    }
    // Nothing but the store itself is left in the folder.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"store.sqlite"});

    RawDatabase db(path);
    EXPECT_EQ(db.queryInt("PRAGMA user_version"), 20000);
    EXPECT_EQ(db.queryInt("PRAGMA application_id"), storeApplicationId);
    EXPECT_EQ(db.queryText("SELECT value FROM KelvaneMetadata WHERE key = 'schemaVersion'"), "2.0.0");
    EXPECT_EQ(db.queryText("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(db.queryText("SELECT targetPath || ':' || sizeAtRecord FROM IncompressibleFile"), "/x:9");
}

TEST(ModelContainerTest, MigratesAVersion1StoreKeepingEveryRowAndASecondOpenChangesNothing) {
    TempDir dir;
    dir.useAsHome();
    const auto path = dir / "store.sqlite";
    writeVersion1Store(path);
    {
        RawDatabase db(path);
        ASSERT_EQ(db.queryInt("SELECT count(*) FROM sqlite_schema WHERE name = 'IncompressibleFile'"), 0);
    }
    std::map<std::string, std::vector<std::vector<std::string>>> rowsBefore;
    {
        RawDatabase db(path);
        for (const char* table : {"RegisteredItem", "FileSnapshot", "CompressionLog"}) {
            rowsBefore[table] = db.query(std::string("SELECT * FROM ") + table + " ORDER BY pk");
            ASSERT_FALSE(rowsBefore[table].empty());
        }
    }

    {
        auto container = makeModelContainer(path);
        auto& context = container->mainContext();

        auto items = context.fetch<RegisteredItem>();
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(items[0]->id(), *Uuid::fromString("00112233-4455-6677-8899-AABBCCDDEEFF"));
        EXPECT_EQ(items[0]->bookmark(), (ByteData{0x01, 0x02, 0xff}));
        EXPECT_EQ(items[0]->kind(), "folder");
        EXPECT_TRUE(items[0]->includeSubfolders());
        EXPECT_EQ(test::storedNanoseconds(items[0]->registeredAt()), 1700000000123456789);
        EXPECT_EQ(items[0]->displayName(), "Projects");
        EXPECT_EQ(items[0]->notes(), std::nullopt);
        EXPECT_TRUE(items[1]->bookmark().empty());
        EXPECT_FALSE(items[1]->includeSubfolders());
        EXPECT_EQ(items[1]->displayName(), "ノート.txt");
        EXPECT_EQ(items[1]->notes(), std::optional<std::string>("keep me"));
        EXPECT_EQ(items[2]->kind(), "mystery");
        EXPECT_EQ(test::storedNanoseconds(items[2]->registeredAt()), -5);

        auto snapshotsOfA = items[0]->snapshots();
        ASSERT_EQ(snapshotsOfA.size(), 2u);
        EXPECT_EQ(snapshotsOfA[0]->registeredItem(), items[0]);
        EXPECT_EQ(snapshotsOfA[0]->relativePath(), "src/main.c");
        EXPECT_EQ(snapshotsOfA[0]->inode(), 42);
        EXPECT_EQ(snapshotsOfA[0]->logicalSize(), 1000);
        EXPECT_EQ(snapshotsOfA[0]->physicalSize(), 400);
        EXPECT_TRUE(snapshotsOfA[0]->isCompressed());
        EXPECT_EQ(snapshotsOfA[0]->algorithm(), std::optional<std::string>("LZFSE"));
        EXPECT_EQ(test::storedNanoseconds(snapshotsOfA[1]->mtime()), 1600000000000000001);
        EXPECT_EQ(snapshotsOfA[1]->algorithm(), std::nullopt);
        EXPECT_EQ(items[1]->snapshots().size(), 1u);
        EXPECT_TRUE(items[2]->snapshots().empty());

        auto logs = context.fetch<CompressionLog>();
        ASSERT_EQ(logs.size(), 3u);
        EXPECT_EQ(logs[0]->sizeBefore(), 9000000000);
        EXPECT_EQ(logs[0]->operation(), "compress");
        EXPECT_TRUE(logs[0]->success());
        EXPECT_EQ(logs[1]->errorMessage(), std::optional<std::string>("ioError(\"read: errno=5\")"));
        // Equal fields, still two records.
        EXPECT_NE(logs[1], logs[2]);
        EXPECT_EQ(logs[1]->id(), logs[2]->id());

        // The new table is there and usable.
        context.insert(std::make_shared<IncompressibleFile>("/home/u/c.jpg", test::dateAt(1700000300), 77));
        context.save();
        EXPECT_EQ(context.fetch<IncompressibleFile>().size(), 1u);
    }

    std::string migrated = dumpOf(path);
    {
        RawDatabase db(path);
        EXPECT_EQ(db.queryInt("PRAGMA user_version"), 20000);
        EXPECT_EQ(db.queryText("SELECT value FROM KelvaneMetadata WHERE key = 'schemaVersion'"), "2.0.0");
        // Every old row is there, value for value.
        for (const auto& [table, rows] : rowsBefore) {
            EXPECT_EQ(db.query("SELECT * FROM " + table + " ORDER BY pk"), rows) << table;
        }
    }

    // A second open finds nothing to do and leaves the file as it was.
    const auto bytes = readRawFile(path);
    { auto again = makeModelContainer(path); EXPECT_EQ(again->mainContext().fetch<RegisteredItem>().size(), 3u); }
    EXPECT_EQ(readRawFile(path), bytes);
    EXPECT_EQ(dumpOf(path), migrated);
    EXPECT_FALSE(test::sideFilesExist(path));
}

TEST(ModelContainerTest, AFailedMigrationLeavesTheVersion1StoreAsItWas) {
    TempDir dir;
    const auto path = dir / "store.sqlite";
    writeVersion1Store(path);
    {
        // Something in the way of the new table makes the migration fail half-way.
        RawDatabase db(path);
        db.exec("CREATE TABLE IncompressibleFile (whatever TEXT)");
    }
    const std::string before = dumpOf(path);
    try {
        makeModelContainer(path);
        FAIL() << "the migration should have failed";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.code(), StoreError::Code::migrationFailed) << error.what();
    }
    EXPECT_EQ(dumpOf(path), before);
    RawDatabase db(path);
    EXPECT_EQ(db.queryText("SELECT value FROM KelvaneMetadata WHERE key = 'schemaVersion'"), "1.0.0");
}

struct Refusal {
    std::string name;
    std::function<void(const std::filesystem::path&)> write;
    StoreError::Code expected;
};

enum class Schema { none, current };

// Writes an SQLite database: the current schema first where asked, then `sql`.
std::function<void(const std::filesystem::path&)> database(Schema schema, std::string sql) {
    return [schema, sql = std::move(sql)](const auto& path) {
        RawDatabase db(path, true);
        if (schema == Schema::current) db.execAll(SchemaV2::statements());
        db.exec(sql);
    };
}

TEST(ModelContainerTest, RefusesFilesThatAreNotStoresItKnowsAndLeavesThemByteForByte) {
    const std::vector<Refusal> cases = {
        {"garbage", [](const auto& path) {
             std::vector<std::uint8_t> bytes(5000);
             for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
             writeRawFile(path, bytes);
         }, StoreError::Code::notAStore},
        {"short text", [](const auto& path) { writeRawFile(path, {'h', 'i', '\n'}); }, StoreError::Code::notAStore},
        {"another program's database in WAL mode",
         database(Schema::none,
                  "PRAGMA journal_mode = WAL; CREATE TABLE notes (body TEXT); INSERT INTO notes VALUES ('mine')"),
         StoreError::Code::notAStore},
        {"newer version in the header",
         database(Schema::current,
                  "UPDATE KelvaneMetadata SET value = '3.0.0'; PRAGMA user_version = 30000; PRAGMA journal_mode = WAL"),
         StoreError::Code::newerVersion},
        {"newer version only in the version record, WAL mode",
         database(Schema::current, "UPDATE KelvaneMetadata SET value = '2.1.0'; PRAGMA journal_mode = WAL"),
         StoreError::Code::newerVersion},
        {"our identity without a version record",
         database(Schema::none, "PRAGMA application_id = 1263946830; CREATE TABLE t (x); PRAGMA journal_mode = WAL"),
         StoreError::Code::damaged},
        {"current version with a table missing", database(Schema::current, "DROP TABLE IncompressibleFile"),
         StoreError::Code::damaged},
    };
    for (const auto& refusal : cases) {
        SCOPED_TRACE(refusal.name);
        TempDir dir;
        const auto path = dir / "store.sqlite";
        refusal.write(path);
        ASSERT_FALSE(test::sideFilesExist(path));
        const auto bytes = readRawFile(path);
        try {
            makeModelContainer(path);
            ADD_FAILURE() << "opened";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.code(), refusal.expected) << error.what();
            EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos) << error.what();
        }
        EXPECT_EQ(readRawFile(path), bytes);
        EXPECT_FALSE(test::sideFilesExist(path));
        // Nothing was put beside it either.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
}

TEST(ModelContainerTest, AnEmptyFileBecomesANewStoreButNotWhenAJournalHoldsItsContent) {
    TempDir dir;
    const auto path = dir / "store.sqlite";
    writeRawFile(path, {});
    makeModelContainer(path);
    EXPECT_EQ(RawDatabase(path).queryInt("PRAGMA user_version"), 20000);

    TempDir other;
    const auto emptyWithJournal = other / "store.sqlite";
    writeRawFile(emptyWithJournal, {});
    writeRawFile(emptyWithJournal.string() + "-wal", {1, 2, 3});
    EXPECT_THROW(makeModelContainer(emptyWithJournal), StoreError);
    EXPECT_TRUE(readRawFile(emptyWithJournal).empty());
    EXPECT_EQ(readRawFile(emptyWithJournal.string() + "-wal"), (std::vector<std::uint8_t>{1, 2, 3}));
}

// Two starts at once (the window and a cron run) on an old or a missing store.
TEST(ModelContainerTest, AStoreThatCanOnlyBeReadIsFoundOutWithoutChangingIt) {
    TempDir dir;
    const auto path = dir / "store.sqlite";
    auto container = ModelContainer::open({path, std::chrono::milliseconds(200)});
    container->mainContext().insert(std::make_shared<CompressionLog>(
        Uuid::random(), std::chrono::system_clock::now(), "compress", "/a", 10, 5, "LZFSE", 1, true, std::nullopt));
    container->mainContext().save();
    EXPECT_NO_THROW(container->verifyWritable());

    // Another connection holding the write lock: busy, not read-only.
    {
        RawDatabase other(path);
        other.exec("BEGIN IMMEDIATE");
        EXPECT_NO_THROW(container->verifyWritable());
        other.exec("ROLLBACK");
    }

    // Read-only from the start, as a new process meets it.
    container.reset();
    const std::string before = dumpOf(path);
    const auto bytes = readRawFile(path);
    if (!kelvane::test::setImmutable(path, true)) GTEST_SKIP() << "no immutable flag on this file system";
    container = ModelContainer::open({path, std::chrono::milliseconds(200)});
    try {
        container->verifyWritable();
        kelvane::test::setImmutable(path, false);
        FAIL() << "a read-only store passed as writable";
    } catch (const StoreError& error) {
        kelvane::test::setImmutable(path, false);
        EXPECT_EQ(error.code(), StoreError::Code::cannotOpen);
        EXPECT_NE(std::string(error.what()).find("\"" + path.string() + "\" cannot be written"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(container->mainContext().fetch<CompressionLog>().size(), 1u);  // reading still works
    container.reset();
    EXPECT_EQ(readRawFile(path), bytes);
    EXPECT_EQ(dumpOf(path), before);
}

TEST(ModelContainerTest, ConcurrentOpensMigrateOrCreateTheStoreExactlyOnce) {
    for (bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "version 1 store" : "no store yet");
        TempDir dir;
        const auto path = dir / "store.sqlite";
        if (existing) writeVersion1Store(path);
        constexpr int openers = 6;
        std::vector<std::string> failures(openers);
        std::vector<std::shared_ptr<ModelContainer>> containers(openers);
        std::vector<std::thread> threads;
        for (int i = 0; i < openers; ++i) {
            threads.emplace_back([&, i] {
                try {
                    containers[i] = makeModelContainer(path);
                } catch (const std::exception& error) {
                    failures[i] = error.what();
                }
            });
        }
        for (auto& thread : threads) thread.join();
        for (const auto& failure : failures) EXPECT_EQ(failure, "");
        for (const auto& container : containers) {
            if (!container) continue;
            EXPECT_EQ(container->mainContext().fetch<RegisteredItem>().size(), existing ? 3u : 0u);
        }
        containers.clear();
        // The last one to close cleaned up after all of them; no temporary file is left.
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
        EXPECT_EQ(names, std::vector<std::string>{"store.sqlite"});
        RawDatabase db(path);
        EXPECT_EQ(db.queryText("SELECT value FROM KelvaneMetadata WHERE key = 'schemaVersion'"), "2.0.0");
        EXPECT_EQ(db.queryInt("SELECT count(*) FROM KelvaneMetadata"), 1);
        EXPECT_EQ(db.queryInt("SELECT count(*) FROM CompressionLog"), existing ? 3 : 0);
    }
}

namespace fullDisk {

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

void saveSomeHistory(const std::filesystem::path& path, int records) {
    auto container = makeModelContainer(path);
    for (int i = 0; i < records; ++i) {
        container->mainContext().insert(std::make_shared<CompressionLog>(
            Uuid::random(), test::dateAt(1700000000 + i), "compress", "/home/u/file" + std::to_string(i), 1000 + i,
            400, "LZFSE", 3, true, std::nullopt));
    }
    container->mainContext().save();
}

// Opening as the window does: only a store that takes writes.
std::shared_ptr<ModelContainer> openForTheWindow(const std::filesystem::path& path) {
    return ModelContainer::open({path, std::chrono::milliseconds(200), true});
}

}  // namespace fullDisk

// A store on a file system with no room left is refused at open, with a
// reason that says so, and nothing of it or beside it changes; whether
// another program holds it open (its journal files exist) or not.
TEST(ModelContainerTest, AStoreOnAFullDiskIsRefusedAtOpenAndLeftAsItWas) {
    for (bool heldOpen : {false, true}) {
        SCOPED_TRACE(heldOpen ? "another connection holds it open" : "closed cleanly");
        kelvane::test::SmallFileSystem disk(8 << 20);
        if (!disk.mounted()) GTEST_SKIP() << disk.reason();
        const auto path = disk.path() / "store.sqlite";
        fullDisk::saveSomeHistory(path, 200);
        std::optional<RawDatabase> other;
        if (heldOpen) {
            other.emplace(path);
            ASSERT_EQ(other->queryInt("SELECT count(*) FROM CompressionLog"), 200);
        }
        const auto before = fullDisk::namesIn(disk.path());
        const auto bytes = readRawFile(path);
        ASSERT_EQ(disk.fill(), 0u);
        try {
            fullDisk::openForTheWindow(path);
            ADD_FAILURE() << "a store on a full disk passed as writable";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.code(), StoreError::Code::cannotOpen) << error.what();
            EXPECT_EQ(error.sqliteCode() & 0xFF, SQLITE_FULL) << error.what();
            const std::string text = error.what();
            EXPECT_NE(text.find("\"" + path.string() + "\""), std::string::npos) << text;
            EXPECT_NE(text.find("the disk is full"), std::string::npos) << text;
        }
        EXPECT_EQ(readRawFile(path), bytes);
        auto after = fullDisk::namesIn(disk.path());
        after.erase(std::remove(after.begin(), after.end(), "filler"), after.end());
        EXPECT_EQ(after, before);
        // With room again, every record is still there.
        std::filesystem::remove(disk.fillerPath());
        other.reset();
        EXPECT_EQ(RawDatabase(path).queryInt("SELECT count(*) FROM CompressionLog"), 200);
    }
}

// Nearly full is not full: with room for a few saves the store opens and saves.
TEST(ModelContainerTest, AStoreOnANearlyFullDiskOpensAndSaves) {
    kelvane::test::SmallFileSystem disk(16 << 20);
    if (!disk.mounted()) GTEST_SKIP() << disk.reason();
    const auto path = disk.path() / "store.sqlite";
    fullDisk::saveSomeHistory(path, 50);
    const std::uint64_t left = disk.fill(ModelContainer::writeHeadroom + (256 << 10));
    ASSERT_LT(left, 2 * ModelContainer::writeHeadroom);  // the disk is all but full
    auto container = fullDisk::openForTheWindow(path);
    const std::uint64_t opened = disk.freeBytes();
    EXPECT_NO_THROW(container->verifyWritable());
    EXPECT_EQ(disk.freeBytes(), opened) << "the check kept some of the room it took";
    container->mainContext().insert(std::make_shared<CompressionLog>(
        Uuid::random(), test::dateAt(1800000000), "decompress", "/home/u/late", 10, 10, "LZFSE", 1, true, std::nullopt));
    EXPECT_NO_THROW(container->mainContext().save());
    container.reset();
    EXPECT_EQ(RawDatabase(path).queryInt("SELECT count(*) FROM CompressionLog"), 51);
}

}  // namespace
}  // namespace kelvane::store
