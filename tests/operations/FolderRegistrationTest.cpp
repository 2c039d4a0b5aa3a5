// SPDX-License-Identifier: MIT
#include "operations/folders/AddItemsFlow.h"
#include "operations/folders/FolderRegistration.h"
#include "operations/folders/RegisteredItemsQuery.h"

#include "OperationsTestSupport.h"

namespace kelvane::operations::test {
namespace {

namespace fs = std::filesystem;

class FolderRegistrationTest : public ModelFixture {
protected:
    fs::path makeTree()
    {
        const fs::path folder = dir_ / "tree";
        for (const fs::path& file : {folder / "a", folder / "b", folder / "sub" / "c", folder / "sub" / "deep" / "d"}) {
            fs::create_directories(file.parent_path());
            kelvane::test::writeRawFile(file, {'x'});
        }
        return folder;
    }
};

TEST_F(FolderRegistrationTest, OnlyTheLatestCountIsShown)
{
    FolderRegistration sheet(makeTree(), container_->mainContext());
    sheet.startCount();
    // Changed twice before any count came back: the two earlier counts are
    // overtaken and neither may show or leave a failure behind.
    sheet.setIncludeSubfolders(false);
    sheet.setIncludeSubfolders(true);
    sheet.setIncludeSubfolders(false);
    ASSERT_TRUE(waitUntil([&] { return !sheet.isCounting(); }));
    EXPECT_EQ(sheet.fileCount(), 2);
    EXPECT_FALSE(sheet.errorMessage());
    sheet.setIncludeSubfolders(true);
    ASSERT_TRUE(waitUntil([&] { return !sheet.isCounting(); }));
    EXPECT_EQ(sheet.fileCount(), 4);
}

TEST_F(FolderRegistrationTest, AFailedCountLeavesRegistrationPossible)
{
    const fs::path gone = dir_ / "gone";
    FolderRegistration sheet(gone, container_->mainContext());
    sheet.startCount();
    ASSERT_TRUE(waitUntil([&] { return !sheet.isCounting(); }));
    EXPECT_FALSE(sheet.fileCount());
    ASSERT_TRUE(sheet.errorMessage());
    EXPECT_TRUE(sheet.errorMessage()->starts_with("件数取得に失敗: ")) << *sheet.errorMessage();

    // Registering the same folder twice stores it once and ends both times.
    const fs::path folder = makeTree();
    FolderRegistration first(folder, container_->mainContext());
    EXPECT_TRUE(first.registerFolder());
    FolderRegistration second(folder, container_->mainContext());
    EXPECT_TRUE(second.registerFolder());
    EXPECT_EQ(container_->mainContext().fetch(store::FetchDescriptor<store::RegisteredItem>()).size(), 1u);
}

TEST_F(FolderRegistrationTest, AddedItemsReachTheWindowInTheOrderTheyCame)
{
    RegisteredItemsQuery query(*container_, *model_);
    AddItemsFlow adding(*model_);
    const fs::path tree = makeTree();
    const fs::path one = dir_ / "one.txt";
    const fs::path two = dir_ / "two.txt";
    kelvane::test::writeRawFile(one, {'1'});
    kelvane::test::writeRawFile(two, {'2'});

    adding.handleSelectedURLs({one, tree, dir_ / "missing", two});
    // The first file is in; the folder waits for its sheet, the rest behind it.
    ASSERT_TRUE(adding.folderToRegister());
    EXPECT_EQ(*adding.folderToRegister(), tree);
    EXPECT_EQ(adding.waitingCount(), 2u);
    ASSERT_TRUE(waitUntil([&] { return model_->items().size() == 1; }));

    adding.finishFolderRegistration();
    EXPECT_FALSE(adding.folderToRegister());
    EXPECT_EQ(adding.waitingCount(), 0u);
    EXPECT_EQ(model_->errorMessage(), "見つかりません: " + (dir_ / "missing").string());
    ASSERT_TRUE(waitUntil([&] { return model_->items().size() == 2; }));
    // Newest registration first.
    EXPECT_EQ(model_->items().front()->displayName(), "two.txt");
}

}  // namespace
}  // namespace kelvane::operations::test
