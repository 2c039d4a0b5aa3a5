// SPDX-License-Identifier: MIT
// A file compressed where no kelvanefs mount serves it reads as its stored
// form in every other program: its row says so, with the reason, stands with
// the errors, and its action asks the keeper to mount the folder again.

#include "operations/OperationsTestSupport.h"

#include "engine/Eligibility.h"
#include "engine/FileCompressor.h"
#include "operations/folders/ChildInspectionWorker.h"
#include "operations/mounts/RegisteredMounts.h"
#include "operations/rows/DisplayRowPredicate.h"

#include <gtest/gtest.h>

namespace kelvane::operations {
namespace {

namespace fs = std::filesystem;
using engine::FileCompressionStatus;
using MountState = platform::MountService::State;

// The engine's mount rule as the programs have it, for one test.
struct MountRuleOn {
    MountRuleOn() { engine::Eligibility::enforceMountRule(true); }
    ~MountRuleOn() { engine::Eligibility::enforceMountRule(false); }
};

class UnservedFilesTest : public test::ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        folder_ = dir_.path() / "Docs";
        test::writeFile(folder_ / "packed.txt", 40000);
        test::writeFile(folder_ / "plain.txt", 40000);
        engine::FileCompressor{}.compressFile(folder_ / "packed.txt");  // the rule is off: no mount needed
        item_ = test::registerItem(container_->mainContext(), folder_, ItemKind::folder);
        // A keeper that cannot mount here, whatever the machine has.
        MountKeeperSettings settings;
        settings.tools.device = dir_.path() / "no-such-device";
        settings.userUnits = false;
        mounts_ = std::make_unique<RegisteredMounts>(*container_, MountKeeper(settings));
        model_->setMounts(mounts_.get());
        model_->setItems({item_});
    }

    FileStatusEntry entryOf(const std::string& name) const
    {
        return cache_->entry(RowId::child(item_->id(), folder_ / name));
    }

    fs::path folder_;
    std::shared_ptr<store::RegisteredItem> item_;
    std::unique_ptr<RegisteredMounts> mounts_;
};

TEST_F(UnservedFilesTest, OnlyACompressedFileWithNoMountIsUnservedAndOnlyWhileTheRuleHolds)
{
    long long errors = 0;
    const FileStatusEntry before = ChildInspectionWorker::inspect(folder_ / "packed.txt", false, errors);
    ASSERT_TRUE(before.as<FileStatusEntry::loaded>()) << "with the rule off, no mount is no news";

    MountRuleOn rule;
    const FileStatusEntry packed = ChildInspectionWorker::inspect(folder_ / "packed.txt", false, errors);
    const auto* unserved = packed.as<FileStatusEntry::unserved>();
    ASSERT_NE(unserved, nullptr);
    EXPECT_EQ(unserved->state, MountState::noMount);
    EXPECT_TRUE(unserved->mountPoint.empty());
    ASSERT_TRUE(unserved->info);
    EXPECT_EQ(unserved->info->status.kind(), FileCompressionStatus::Kind::compressed);
    EXPECT_EQ(packed.info(), &*unserved->info) << "sizes and ratio still come from the file";
    EXPECT_LT(unserved->info->physicalSize, unserved->info->logicalSize);
    EXPECT_EQ(errors, 0);

    const FileStatusEntry plain = ChildInspectionWorker::inspect(folder_ / "plain.txt", false, errors);
    ASSERT_TRUE(plain.as<FileStatusEntry::loaded>()) << "an uncompressed file reads the same everywhere";

    // The status filter puts it with the errors, not with the compressed files.
    DisplayRowPredicate predicate;
    const auto passes = [&](CompressionStatusFilter filter, const FileStatusEntry& entry) {
        predicate.statusFilter = filter;
        return predicate.passesStatus(entry);
    };
    EXPECT_TRUE(passes(CompressionStatusFilter::error, packed));
    EXPECT_FALSE(passes(CompressionStatusFilter::compressed, packed));
    EXPECT_FALSE(passes(CompressionStatusFilter::uncompressed, packed));
    EXPECT_TRUE(passes(CompressionStatusFilter::compressed, before));
    EXPECT_FALSE(passes(CompressionStatusFilter::error, before));
}

TEST_F(UnservedFilesTest, TheFolderCountsItsUnservedFilesAndTheActionAsksTheKeeperAgain)
{
    MountRuleOn rule;
    const TaskHandle load = model_->loadAllFolderChildren();
    ASSERT_TRUE(test::waitUntil([&] {
        return load.isFinished() && !entryOf("packed.txt").as<FileStatusEntry::notInspected>() &&
               !entryOf("plain.txt").as<FileStatusEntry::notInspected>() &&
               model_->folderAggregates().contains(item_->id());
    }));
    EXPECT_TRUE(entryOf("packed.txt").as<FileStatusEntry::unserved>());
    EXPECT_TRUE(entryOf("plain.txt").as<FileStatusEntry::loaded>());
    ASSERT_TRUE(test::waitUntil([&] { return model_->folderAggregates().at(item_->id()).classifiedCount() == 2; }));
    const FolderAggregate aggregate = model_->folderAggregates().at(item_->id());
    EXPECT_EQ(aggregate.unservedCount, 1);
    EXPECT_EQ(aggregate.compressedCount, 0) << "not compressed as if all were well";
    EXPECT_EQ(aggregate.uncompressedCount, 1);
    EXPECT_LT(aggregate.totalPhysical, aggregate.totalLogical);

    // The keeper's refusal at start-up is the row's reason.
    ASSERT_TRUE(test::waitUntil([&] { return !mounts_->isWorking() && mounts_->outcome(folder_); }));
    const DisplayRow child = model_->folderChildren().at(item_->id())->front();
    const std::optional<MountRefusal> refusal = model_->mountRefusal(child);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->kind, MountRefusal::Kind::fuseDeviceMissing);

    // The action: the keeper is asked again, says why not, and the folder's
    // files are listed and inspected again.
    const long long version = model_->folderChildrenVersion();
    int changes = 0;
    QObject::connect(mounts_.get(), &RegisteredMounts::changed, [&] { ++changes; });
    const TaskHandle again = model_->serveAgain(child);
    ASSERT_TRUE(test::waitUntil([&] { return again.isFinished(); }));
    EXPECT_EQ(changes, 1);
    ASSERT_TRUE(model_->errorMessage());
    EXPECT_NE(model_->errorMessage()->find("やり直せませんでした"), std::string::npos);
    EXPECT_NE(model_->errorMessage()->find(refusal->text()), std::string::npos) << *model_->errorMessage();
    ASSERT_TRUE(test::waitUntil([&] {
        return model_->folderChildrenVersion() > version && model_->folderChildren().contains(item_->id()) &&
               !entryOf("packed.txt").as<FileStatusEntry::notInspected>();
    }));
    EXPECT_TRUE(entryOf("packed.txt").as<FileStatusEntry::unserved>());

    // Without mounts, or for a row of no registered item, nothing is asked.
    model_->setMounts(nullptr);
    EXPECT_TRUE(model_->serveAgain(child).isFinished());
    EXPECT_FALSE(model_->mountRefusal(child));
}

}  // namespace
}  // namespace kelvane::operations
