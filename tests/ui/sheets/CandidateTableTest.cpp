// SPDX-License-Identifier: MIT
// The sheets' tables of found files: a header click sorts through the
// sheet's model, a tick box or a picked row reaches the model's selection,
// and the selection comes back to the view, whichever side changed it.
#include "SheetsTestSupport.h"

#include "operations/sheets/SearchSheetModel.h"
#include "operations/sheets/WizardPresetScanModel.h"
#include "platform/qt/LanguageModel.h"
#include "ui/sheets/SearchResultsTableModel.h"
#include "ui/sheets/SheetWidgets.h"
#include "ui/sheets/WizardCandidatesTableModel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTableView>

#include <fstream>

namespace kelvane::ui::sheets::test {
namespace {

namespace fs = std::filesystem;
using operations::WizardCandidate;
using operations::WizardPresetScanModel;
using Order = operations::SortKey<WizardCandidate::Key>::Order;

class CandidateTableTest : public HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        folder_ = home_.path() / "found";
        fs::create_directories(folder_);
        // b is the largest, c the smallest.
        for (const auto& [name, size] : {std::pair{"a.log", 70'000}, {"b.log", 90'000}, {"c.log", 66'000}})
            std::ofstream(folder_ / name, std::ios::binary) << std::string(static_cast<std::size_t>(size), 'x');
        operations::WizardPreset preset;
        preset.id = "found";
        preset.title = "found";
        preset.resolvedPath = folder_;
        scan_ = std::make_unique<WizardPresetScanModel>(preset, container_->mainContext(), [](const auto&) {});
        scan_->startScan();
        ASSERT_TRUE(waitUntil([&] { return !scan_->isScanning(); }));
        ASSERT_EQ(scan_->candidates().size(), 3u);
    }

    QStringList names(const QAbstractItemModel& table) const
    {
        QStringList result;
        for (int row = 0; row < table.rowCount(); ++row)
            result << table.index(row, 0).data().toString();
        return result;
    }

    fs::path folder_;
    std::unique_ptr<WizardPresetScanModel> scan_;
};

TEST_F(CandidateTableTest, AHeaderClickSortsThroughTheSheetModelAndTheRowsFollow)
{
    WizardCandidatesTableModel table(*scan_);
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(names(table), (QStringList{"b.log", "a.log", "c.log"}));
    EXPECT_EQ(table.headerData(WizardCandidatesTableModel::location, Qt::Horizontal).toString(), QStringLiteral("場所"));

    table.sort(WizardCandidatesTableModel::name, Qt::AscendingOrder);
    ASSERT_FALSE(scan_->sortOrder().empty());
    EXPECT_EQ(scan_->sortOrder().front(), (operations::SortKey<WizardCandidate::Key>{WizardCandidate::Key::name, Order::forward}));
    EXPECT_EQ(names(table), (QStringList{"a.log", "b.log", "c.log"}));
    table.sort(WizardCandidatesTableModel::name, Qt::DescendingOrder);
    EXPECT_EQ(names(table), (QStringList{"c.log", "b.log", "a.log"}));
    table.sort(99, Qt::AscendingOrder);  // no such column: nothing changes
    EXPECT_EQ(names(table), (QStringList{"c.log", "b.log", "a.log"}));

    // The search's table sorts its own model the same way.
    operations::SearchSheetModel search(container_->mainContext(), platform::LanguageModel::unavailableModel());
    SearchResultsTableModel results(search);
    results.sort(SearchResultsTableModel::path, Qt::AscendingOrder);
    ASSERT_FALSE(search.resultsSortOrder().empty());
    EXPECT_EQ(search.resultsSortOrder().front().key, operations::FileCandidateRow::Key::folderPath);
    EXPECT_EQ(results.flags(results.index(0, 0)) & Qt::ItemIsUserCheckable, Qt::NoItemFlags);
}

TEST_F(CandidateTableTest, TickBoxesAreTheSelectionBothWays)
{
    WizardCandidatesTableModel table(*scan_);
    const QModelIndex first = table.index(0, WizardCandidatesTableModel::name);
    EXPECT_TRUE(table.flags(first) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(table.flags(table.index(0, WizardCandidatesTableModel::size)) & Qt::ItemIsUserCheckable);
    EXPECT_EQ(first.data(Qt::CheckStateRole), Qt::Unchecked);

    ASSERT_TRUE(table.setData(first, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(scan_->selection(), (std::set<fs::path>{folder_ / "b.log"}));
    EXPECT_FALSE(table.setData(table.index(1, WizardCandidatesTableModel::size), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(scan_->selection().size(), 1u);

    scan_->selectAll();
    for (int row = 0; row < table.rowCount(); ++row)
        EXPECT_EQ(table.index(row, 0).data(Qt::CheckStateRole), Qt::Checked) << row;
    ASSERT_TRUE(table.setData(first, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(scan_->selection(), (std::set<fs::path>{folder_ / "a.log", folder_ / "c.log"}));
}

TEST_F(CandidateTableTest, PickedRowsAndTheModelsSelectionStayTheSame)
{
    WizardCandidatesTableModel table(*scan_);
    QTableView view;
    setUpCandidateView(&view, &table, WizardCandidatesTableModel::size, {{80, 100, 120}, {80, 100, 120}, {80, 100, 120}, {80, 100, 120}, {80, 100, 120}});
    SelectionLink link(&view, &table);
    QObject::connect(scan_.get(), &WizardPresetScanModel::selectionChanged, &view, [&] { link.showSelection(); });

    // A path the table does not show keeps its place in the selection.
    const fs::path elsewhere = folder_ / "not-shown.log";
    scan_->setSelection({elsewhere, folder_ / "a.log"});
    EXPECT_EQ(view.selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(1, {})) << "a.log is the second largest";

    view.selectRow(0);  // b.log alone in the view
    EXPECT_EQ(scan_->selection(), (std::set<fs::path>{elsewhere, folder_ / "b.log"}));

    view.selectionModel()->select(table.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(scan_->selection(), (std::set<fs::path>{elsewhere, folder_ / "b.log", folder_ / "c.log"}));

    scan_->clearSelection();
    EXPECT_TRUE(view.selectionModel()->selectedRows().isEmpty());
}

}  // namespace
}  // namespace kelvane::ui::sheets::test
