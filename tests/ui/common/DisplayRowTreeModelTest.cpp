// SPDX-License-Identifier: MIT
#include "operations/rows/FileStatusCache.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"

#include "support/DisplayRows.h"
#include "support/DisplayRows.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QSignalSpy>

#include <memory>
#include <string>
#include <vector>

namespace kelvane::ui {
namespace {

using operations::DisplayRow;

DisplayRow file(const std::string& id, std::uint64_t size = 5000)
{
    DisplayRow row;
    row.id = test::rowId(id);
    row.displayName = id + ".txt";
    row.url = "/data/" + id + ".txt";
    row.logicalSize = size;
    return row;
}

DisplayRow folder(const std::string& id, int children)
{
    DisplayRow row;
    row.id = test::rowId(id);
    row.displayName = id;
    row.kind = DisplayRow::DisplayKind::folder;
    row.url = "/data/" + id;
    std::vector<DisplayRow> files;
    for (int i = 0; i < children; ++i)
        files.push_back(file(id + "-" + std::to_string(i)));
    row.children = std::make_shared<const std::vector<DisplayRow>>(std::move(files));
    return row;
}

class DisplayRowTreeModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::widgetApplication();
        tester_ = std::make_unique<QAbstractItemModelTester>(&model_, QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    operations::FileStatusCache cache_;
    DisplayRowTreeModel model_{cache_};
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

TEST_F(DisplayRowTreeModelTest, SameIdsOnlyChangeDataOtherwiseTheModelResets)
{
    model_.setRows({folder("a", 3), file("b")});
    ASSERT_EQ(model_.rowCount(), 2);
    ASSERT_EQ(model_.rowCount(model_.index(0, 0)), 3);
    EXPECT_FALSE(model_.hasChildren(model_.index(1, 0)));
    EXPECT_EQ(model_.parent(model_.index(2, 0, model_.index(0, 0))), model_.index(0, 0));

    QSignalSpy resets(&model_, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model_, &QAbstractItemModel::dataChanged);
    // New figures, same ids (the children list rebuilt, not shared).
    model_.setRows({folder("a", 3), file("b", 9000)});
    EXPECT_EQ(resets.count(), 0);
    EXPECT_GE(changes.count(), 2);  // the top rows and the folder's files
    EXPECT_EQ(model_.data(model_.index(1, static_cast<int>(MainColumn::logicalSize))).toString(), "9 KB");

    // A child more, a row gone, or the order changed: reset.
    model_.setRows({folder("a", 4), file("b")});
    model_.setRows({folder("a", 4)});
    model_.setRows({file("b"), folder("a", 4)});
    EXPECT_EQ(resets.count(), 3);
    EXPECT_EQ(model_.indexOfId(test::rowId("a-3")).parent(), model_.index(1, 0));
    EXPECT_EQ(model_.indexOfId(test::rowId("b")), model_.index(0, 0));
    EXPECT_FALSE(model_.indexOfId(test::rowId("gone")).isValid());
}

TEST_F(DisplayRowTreeModelTest, ACacheWriteRedrawsTheStatusCells)
{
    model_.setRows({file("b")});
    const QModelIndex status = model_.index(0, static_cast<int>(MainColumn::status));
    EXPECT_TRUE(model_.data(status, DisplayRowTreeModel::SpinnerRole).toBool());
    QSignalSpy changes(&model_, &QAbstractItemModel::dataChanged);
    engine::FileCompressionInfo info{engine::FileCompressionStatus::uncompressed{}, 5000, 8192};
    cache_.setEntry(operations::FileStatusEntry::loaded{info}, test::rowId("b"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(model_.data(status, DisplayRowTreeModel::SpinnerRole).toBool());
    EXPECT_EQ(model_.data(status).toString(), QStringLiteral("○ 未圧縮"));
}

TEST_F(DisplayRowTreeModelTest, TheViewKeepsExpansionSelectionAndScrollAcrossAReset)
{
    RowTreeView view;
    view.setRowModel(&model_);
    view.resize(600, 200);
    view.show();
    std::vector<DisplayRow> rows;
    for (int i = 0; i < 60; ++i)
        rows.push_back(file("f" + std::to_string(i)));
    rows.push_back(folder("z", 5));
    model_.setRows(rows);
    view.expand(model_.indexOfId(test::rowId("z")));
    view.selectIds({test::rowId("f30"), test::rowId("z-2")});
    view.verticalScrollBar()->setValue(12);

    // A row disappears in front: the ids that are still there keep their state.
    rows.erase(rows.begin());
    model_.setRows(rows);
    EXPECT_TRUE(view.isExpanded(model_.indexOfId(test::rowId("z"))));
    const std::vector<operations::RowId> selected = view.selectedIds();
    EXPECT_EQ(std::set<operations::RowId>(selected.begin(), selected.end()),
              (std::set<operations::RowId>{test::rowId("f30"), test::rowId("z-2")}));
    EXPECT_EQ(view.verticalScrollBar()->value(), 12);
}

}  // namespace
}  // namespace kelvane::ui
