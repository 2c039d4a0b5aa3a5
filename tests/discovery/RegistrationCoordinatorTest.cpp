// SPDX-License-Identifier: MIT
#include "discovery/BookmarkError.h"
#include "discovery/RegistrationCoordinator.h"
#include "discovery/SecurityScopedBookmark.h"

#include "SearchTree.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "store/StoreError.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace kd = kelvane::discovery;
namespace ks = kelvane::store;
namespace fs = std::filesystem;
using kd::ItemKind;
using kd::RegistrationDecision;

namespace {

class RegistrationCoordinatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp.useAsHome();
        fs::create_directories(data() / "photos/2023");
        kelvane::test::makeFile(data() / "photos/2023/a.jpg");
        kelvane::test::makeFile(data() / "notes.txt");
        container = ks::makeModelContainer(temp.path() / "store.sqlite");
    }

    fs::path data() const { return temp.path() / "data"; }

    RegistrationDecision registerItem(const fs::path& url, ItemKind kind, bool includeSubfolders = false) {
        return kd::RegistrationCoordinator{}.registerItem(url, kind, includeSubfolders, container->mainContext());
    }

    // Stored items as (resolved path, kind), in fetch order, read through a fresh container.
    std::vector<std::pair<std::string, std::string>> storedItems() {
        auto reopened = ks::makeModelContainer(temp.path() / "store.sqlite");
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& item : reopened->mainContext().fetch<ks::RegisteredItem>())
            out.emplace_back(kd::SecurityScopedBookmark::resolveBookmark(item->bookmark()).url.string(), item->kind());
        return out;
    }

    kelvane::test::TempDir temp;
    std::shared_ptr<ks::ModelContainer> container;
};

TEST_F(RegistrationCoordinatorTest, StoresTheStandardizedItem) {
    const auto before = std::chrono::system_clock::now();
    const auto decision = registerItem(data() / "photos/2023/../.", ItemKind::folder, true);
    EXPECT_EQ(decision, RegistrationDecision(RegistrationDecision::willRegister{data() / "photos", ItemKind::folder, true}));
    const auto file = registerItem(data() / "./notes.txt", ItemKind::file, true);
    EXPECT_EQ(file, RegistrationDecision(RegistrationDecision::willRegister{data() / "notes.txt", ItemKind::file, true}));

    const auto items = container->mainContext().fetch<ks::RegisteredItem>();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->displayName(), "photos");
    EXPECT_EQ(items[0]->kind(), "folder");
    EXPECT_TRUE(items[0]->includeSubfolders());
    EXPECT_EQ(items[1]->displayName(), "notes.txt");
    EXPECT_EQ(items[1]->kind(), "file");
    EXPECT_TRUE(items[1]->includeSubfolders());  // kept as passed, also for a file
    EXPECT_FALSE(items[0]->notes());
    EXPECT_GE(items[0]->registeredAt(), before);
    EXPECT_NE(items[0]->id(), items[1]->id());
    EXPECT_EQ(kd::SecurityScopedBookmark::resolveBookmark(items[0]->bookmark()).url, data() / "photos");
    EXPECT_EQ(storedItems().size(), 2u);  // saved, not only pending
}

TEST_F(RegistrationCoordinatorTest, DecisionsAgainstStoredItems) {
    ASSERT_TRUE(registerItem(data() / "photos", ItemKind::folder).as<RegistrationDecision::willRegister>());
    const RegistrationDecision duplicate = RegistrationDecision::skipDuplicate{data() / "photos"};
    const RegistrationDecision child = RegistrationDecision::skipChildOfRegistered{data() / "photos"};

    EXPECT_EQ(registerItem(data().string() + "/photos/", ItemKind::folder), duplicate);
    EXPECT_EQ(registerItem(data() / "photos/2023/..", ItemKind::folder), duplicate);
    EXPECT_EQ(registerItem(data() / "photos/2023/a.jpg", ItemKind::file), child);
    EXPECT_EQ(registerItem(data() / "photos/2023", ItemKind::folder, true), child);
    EXPECT_EQ(storedItems().size(), 1u);

    // A folder above the registered one is allowed; the one inside stays.
    EXPECT_EQ(registerItem(data(), ItemKind::folder, true),
              RegistrationDecision(RegistrationDecision::willRegister{data(), ItemKind::folder, true}));
    EXPECT_EQ(storedItems().size(), 2u);
    // Now the fetch order decides: the first stored match wins.
    EXPECT_EQ(registerItem(data() / "photos/2023/a.jpg", ItemKind::file), child);
}

TEST_F(RegistrationCoordinatorTest, CanonicallyEqualSpellingIsADuplicate) {
    const auto nfc = data() / "caf\u00E9";
    fs::create_directories(nfc);
    ASSERT_TRUE(registerItem(nfc, ItemKind::folder).as<RegistrationDecision::willRegister>());
    EXPECT_EQ(registerItem(data() / "cafe\u0301", ItemKind::folder),
              RegistrationDecision(RegistrationDecision::skipDuplicate{nfc}));
    EXPECT_EQ(registerItem(data() / "cafe\u0301/x.txt", ItemKind::file),
              RegistrationDecision(RegistrationDecision::skipChildOfRegistered{nfc}));
    EXPECT_EQ(storedItems().size(), 1u);
}

TEST_F(RegistrationCoordinatorTest, ForeignKindsAndUnresolvableItemsAreIgnored) {
    auto& context = container->mainContext();
    // An item whose kind no reader knows is kept as it is, and does not count.
    context.insert(std::make_shared<ks::RegisteredItem>(ks::Uuid::random(), kd::SecurityScopedBookmark::createBookmark(data()),
                                                        "volume", true, std::chrono::system_clock::now(), "data"));
    context.save();
    EXPECT_EQ(registerItem(data() / "photos", ItemKind::folder),
              RegistrationDecision(RegistrationDecision::willRegister{data() / "photos", ItemKind::folder, false}));

    // An item whose bookmark no longer resolves does not block its old path:
    // the new item is stored beside it.
    const auto file = data() / "notes.txt";
    context.insert(std::make_shared<ks::RegisteredItem>(ks::Uuid::random(), std::vector<std::uint8_t>{1, 2, 3}, "file",
                                                        false, std::chrono::system_clock::now(), "notes.txt"));
    context.save();
    EXPECT_EQ(registerItem(file, ItemKind::file),
              RegistrationDecision(RegistrationDecision::willRegister{file, ItemKind::file, false}));
    EXPECT_EQ(context.fetch<ks::RegisteredItem>().size(), 4u);

    // A file replaced at its path resolves (as stale) and still blocks.
    const int held = ::open(file.c_str(), O_RDONLY);  // keeps the inode from being reused
    fs::remove(file);
    kelvane::test::makeFile(file);
    EXPECT_EQ(registerItem(file, ItemKind::file), RegistrationDecision(RegistrationDecision::skipDuplicate{file}));
    ::close(held);
}

TEST_F(RegistrationCoordinatorTest, BookmarkFailureInsertsNothing) {
    try {
        registerItem(data() / "missing", ItemKind::folder);
        FAIL() << "registered a missing folder";
    } catch (const kd::BookmarkError& e) {
        EXPECT_TRUE(e.as<kd::BookmarkError::creationFailed>());
    }
    EXPECT_FALSE(container->mainContext().hasChanges());
    EXPECT_TRUE(container->mainContext().fetch<ks::RegisteredItem>().empty());
}

// Root writes through any mode bits, so the store's log file is made immutable,
// which stops root too.
using kelvane::test::setImmutable;

TEST_F(RegistrationCoordinatorTest, FailedSaveIsReportedAndNeverStoredLater) {
    ASSERT_TRUE(registerItem(data() / "notes.txt", ItemKind::file).as<RegistrationDecision::willRegister>());
    const auto wal = temp.path() / "store.sqlite-wal";
    if (!fs::exists(wal) || !setImmutable(wal, true)) GTEST_SKIP() << "no immutable flag on this file system";
    try {
        registerItem(data() / "photos", ItemKind::folder, true);
        setImmutable(wal, false);
        FAIL() << "the save went through";
    } catch (const ks::StoreError& e) {
        setImmutable(wal, false);
        EXPECT_EQ(e.code(), ks::StoreError::Code::saveFailed) << e.what();
    }
    EXPECT_FALSE(container->mainContext().hasChanges());

    // The failed folder is not there: a file inside it registers, and the
    // save that stores it does not bring the folder back.
    EXPECT_TRUE(registerItem(data() / "photos/2023/a.jpg", ItemKind::file).as<RegistrationDecision::willRegister>());
    EXPECT_EQ(storedItems(), (std::vector<std::pair<std::string, std::string>>{
                                 {(data() / "notes.txt").string(), "file"},
                                 {(data() / "photos/2023/a.jpg").string(), "file"}}));

    // A context that may not write fails the same way and leaves nothing behind.
    auto readOnly = container->makeContext(ks::ModelContext::Access::readOnly);
    EXPECT_THROW(kd::RegistrationCoordinator{}.registerItem(data() / "photos", ItemKind::folder, true, *readOnly),
                 ks::StoreError);
    EXPECT_FALSE(readOnly->hasChanges());
    EXPECT_EQ(storedItems().size(), 2u);
}

}  // namespace
