// SPDX-License-Identifier: MIT
// The search sheet's model driven as the sheet drives it, with no window:
// the form becomes criteria, a search runs, is sorted, picked from,
// cancelled and registered.
#include "OperationsTestSupport.h"

#include "operations/sheets/SearchSheetModel.h"
#include "platform/qt/LanguageModel.h"
#include "store/RegisteredItem.h"
#include "support/SearchFolder.h"

#include <fstream>
#include <set>

namespace kelvane::operations::test {
namespace {

namespace fs = std::filesystem;

class SearchSheetModelTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        root_ = kelvane::test::writeSearchFolder(dir_.path() / "work");
        model_ = std::make_unique<SearchSheetModel>(container_->mainContext(), platform::LanguageModel::unavailableModel());
        model_->setRootURL(root_);
        model_->setMinSizeMB(QString());
    }

    void search()
    {
        model_->startSearch();
        ASSERT_TRUE(waitUntil([&] { return !model_->isSearching(); }));
    }

    std::vector<std::string> sortedNames() const
    {
        std::vector<std::string> names;
        for (const FileCandidateRow& row : model_->sortedResults())
            names.push_back(row.name());
        return names;
    }

    fs::path root_;
    std::unique_ptr<SearchSheetModel> model_;
};

TEST_F(SearchSheetModelTest, TheFormBecomesTheCriteria)
{
    model_->setMinSizeMB(QStringLiteral("1.5"));
    model_->setMaxSizeMB(QStringLiteral("abc"));
    model_->setRecursive(false);
    model_->setExcludeHidden(false);
    model_->setExtPreset(SearchSheetModel::ExtPreset::text);
    discovery::SearchCriteria criteria = model_->makeCriteria();
    EXPECT_EQ(criteria.rootURL, root_);
    EXPECT_FALSE(criteria.recursive);
    EXPECT_EQ(criteria.minSize, std::optional<std::uint64_t>(1'500'000));
    EXPECT_EQ(criteria.maxSize, std::nullopt) << "text that is no number means no limit";
    EXPECT_FALSE(criteria.excludeHidden);
    EXPECT_TRUE(criteria.excludeAlreadyCompressed);
    EXPECT_TRUE(criteria.extensionFilter.has_value());
    EXPECT_EQ(criteria.modifiedBefore, std::nullopt);

    model_->setDateMode(SearchSheetModel::DateMode::olderThan);
    model_->setDateValue(2);
    model_->setDateUnit(SearchSheetModel::DateUnit::month);
    criteria = model_->makeCriteria();
    ASSERT_TRUE(criteria.modifiedBefore.has_value());
    const auto age = std::chrono::system_clock::now() - *criteria.modifiedBefore;
    EXPECT_GT(age, std::chrono::hours(24 * 55));
    EXPECT_LT(age, std::chrono::hours(24 * 63));

    model_->setExtPreset(SearchSheetModel::ExtPreset::all);
    EXPECT_FALSE(model_->makeCriteria().extensionFilter.has_value());
}

TEST_F(SearchSheetModelTest, ASearchNeedsAnExistingRootAndNoRunningSearch)
{
    EXPECT_TRUE(model_->canSearch());
    model_->setRootURL(dir_.path() / "gone");
    EXPECT_FALSE(model_->canSearch());
    model_->setRootURL(root_);
    model_->startSearch();
    EXPECT_TRUE(model_->isSearching());
    EXPECT_FALSE(model_->canSearch());
    ASSERT_TRUE(waitUntil([&] { return !model_->isSearching(); }));
    EXPECT_TRUE(model_->canSearch());
}

TEST_F(SearchSheetModelTest, ResultsAreSortedByTheChosenKeysAndHiddenFilesStayOut)
{
    search();
    EXPECT_FALSE(model_->searchError().has_value());
    EXPECT_EQ(sortedNames(), (std::vector<std::string>{"image.png", "data.json", "notes.txt"}))
        << "largest first at the start";
    EXPECT_EQ(model_->scanProgress().matched, 3);

    model_->setResultsSortOrder({{FileCandidateRow::Key::name, SearchSheetModel::ResultSortKey::Order::forward}});
    EXPECT_EQ(sortedNames(), (std::vector<std::string>{"data.json", "image.png", "notes.txt"}));

    model_->setExcludeHidden(false);
    search();
    EXPECT_EQ(sortedNames(), (std::vector<std::string>{".hidden.txt", "data.json", "image.png", "notes.txt"}));
}

TEST_F(SearchSheetModelTest, ANewSearchStartsEmptyAndDropsWhatTheOlderOneStillReports)
{
    search();
    model_->setSelection({root_ / "image.png"});
    int selectionChanges = 0;
    QObject::connect(model_.get(), &SearchSheetModel::selectionChanged, [&] { ++selectionChanges; });

    model_->startSearch();
    EXPECT_TRUE(model_->results().empty());
    EXPECT_TRUE(model_->selection().empty());
    EXPECT_GE(selectionChanges, 1);
    model_->startSearch();  // replaces the one just started
    ASSERT_TRUE(waitUntil([&] { return !model_->isSearching(); }));
    std::set<fs::path> urls;
    for (const discovery::FileCandidate& candidate : model_->results())
        urls.insert(candidate.url);
    EXPECT_EQ(model_->results().size(), 3u) << "no file twice";
    EXPECT_EQ(urls.size(), 3u);
}

TEST_F(SearchSheetModelTest, ACancelledSearchEndsWithoutAnErrorAndTheNextOneFindsAll)
{
    for (int i = 0; i < 300; ++i)
        writeFile(root_ / "many" / ("f" + std::to_string(i) + ".txt"), 10);
    model_->startSearch();
    model_->cancelSearch();
    ASSERT_TRUE(waitUntil([&] { return !model_->isSearching(); }));
    EXPECT_FALSE(model_->searchError().has_value());
    search();
    EXPECT_EQ(model_->results().size(), 303u);
}

TEST_F(SearchSheetModelTest, RegisteringTheSelectionCountsEachFileAndAsksToClose)
{
    search();
    int closeRequests = 0;
    QObject::connect(model_.get(), &SearchSheetModel::closeRequested, [&] { ++closeRequests; });
    model_->setSelection({root_ / "image.png", root_ / "notes.txt"});
    model_->registerSelection();
    EXPECT_EQ(model_->registrationSummary(), std::optional(QStringLiteral("登録: 2 件、スキップ: 0 件")));
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 2u);
    ASSERT_TRUE(waitUntil([&] { return closeRequests == 1; }));

    // The same files again are skipped, not registered twice.
    model_->dismissRegistrationSummary();
    EXPECT_FALSE(model_->registrationSummary().has_value());
    model_->registerSelection();
    EXPECT_EQ(model_->registrationSummary(), std::optional(QStringLiteral("登録: 0 件、スキップ: 2 件")));
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 2u);
}

}  // namespace
}  // namespace kelvane::operations::test
