// SPDX-License-Identifier: MIT
#include "ui/main/BulkRunControls.h"

#include "operations/rows/FileStatusCache.h"
#include "operations/windows/MainWindowModel.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"
#include "ui/common/SheetPresenter.h"
#include "ui/common/TableCells.h"
#include "ui/main/ActionCell.h"
#include "ui/main/BottomActionBar.h"
#include "operations/rows/BulkSelection.h"
#include "ui/sheets/OperationProgressSheet.h"
#include "ui/sheets/ProgressTexts.h"
#include "ui/main/RowWalks.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>

#include <set>

namespace kelvane::ui {

using operations::ActiveOperation;
using operations::DisplayRow;
using operations::MainWindowModel;
using operations::BulkSelection;
using operations::SelectionStatistics;

BulkRunControls::BulkRunControls(MainWindowModel& model, RowTreeView& table, DisplayRowTreeModel& rows,
                                 SheetPresenter& sheets, QWidget* window, std::function<void()> openHistory)
    : QObject(window),
      model_(model),
      table_(table),
      rows_(rows),
      sheets_(sheets),
      window_(window),
      openHistory_(std::move(openHistory))
{
    const int actionColumn = static_cast<int>(MainColumn::action);
    table_.setItemDelegateForColumn(
        actionColumn, new ActionCellDelegate(
                          [this](RowAction action, const DisplayRow& row) { ActionCell::perform(model_, action, row); },
                          &table_));

    bar_ = new BottomActionBar;
    connect(bar_, &BottomActionBar::selectAllRequested, this, &BulkRunControls::selectAllRows);
    connect(bar_, &BottomActionBar::compressRequested, this,
            [this] { startBulkOperation(ActiveOperation::Kind::compress); });
    connect(bar_, &BottomActionBar::decompressRequested, this,
            [this] { startBulkOperation(ActiveOperation::Kind::decompress); });
    connect(bar_, &BottomActionBar::clearRequested, &table_, &QAbstractItemView::clearSelection);

    // The bar follows the selection, the rows, the cache and the items, once per turn.
    barTimer_.setSingleShot(true);
    barTimer_.setInterval(0);
    connect(&barTimer_, &QTimer::timeout, this, &BulkRunControls::updateBar);
    if (table_.selectionModel())
        connect(table_.selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &BulkRunControls::scheduleBarUpdate);
    connect(&rows_, &QAbstractItemModel::modelReset, this, &BulkRunControls::scheduleBarUpdate);
    connect(&model_, &MainWindowModel::derivedRowsChanged, this, &BulkRunControls::scheduleBarUpdate);
    connect(&model_, &MainWindowModel::derivedRowsChanged, this, &BulkRunControls::widenActionColumn);
    connect(&model_, &MainWindowModel::itemsChanged, this, &BulkRunControls::scheduleBarUpdate);
    connect(&model_.cache(), &operations::FileStatusCache::versionChanged, this, &BulkRunControls::scheduleBarUpdate);

    connect(&model_, &MainWindowModel::pendingLargeOpChanged, this, &BulkRunControls::pendingLargeOpChanged);
    connect(&model_, &MainWindowModel::operationProgressChanged, this, &BulkRunControls::operationProgressChanged);
    updateBar();
    if (model_.operationProgress())
        operationProgressChanged();
}

// --- the bottom bar -----------------------------------------------------------------

void BulkRunControls::scheduleBarUpdate()
{
    if (!barTimer_.isActive())
        barTimer_.start();
}

void BulkRunControls::updateBar()
{
    const std::vector<operations::RowId> ids = table_.selectedIds();
    const std::set<operations::RowId> selected(ids.begin(), ids.end());
    const SelectionStatistics counts =
        BulkSelection::statistics(RowWalks::selectedRows(model_.displayedRows(), selected), model_.folderAggregates(),
                                  model_.cache().entries());
    BottomActionBarValues values;
    values.selectionCount = static_cast<long long>(selected.size());
    values.compressableCount = counts.compressable;
    values.decompressableCount = counts.decompressable;
    values.oversizedSelectedCount = counts.oversized;
    values.currentReduction = model_.reductionStatistics().bytes;
    values.compressedFileCount = model_.reductionStatistics().count;
    values.canSelectAll = !model_.items().empty();
    bar_->setValues(values);
}

void BulkRunControls::selectAllRows()
{
    std::vector<operations::RowId> ids;
    for (const DisplayRow& row : model_.displayedRows())
        ids.push_back(row.id);
    table_.selectIds(ids);
    scheduleBarUpdate();
}

void BulkRunControls::startBulkOperation(ActiveOperation::Kind kind)
{
    const std::vector<operations::RowId> ids = table_.selectedIds();
    const std::set<operations::RowId> selected(ids.begin(), ids.end());
    model_.confirmOrStartOperation(kind, BulkSelection::candidates(kind, RowWalks::selectedRows(model_.displayedRows(),
                                                                                                 selected),
                                                                   model_.folderChildren(), model_.cache().entries()));
}

void BulkRunControls::widenActionColumn()
{
    // Wide enough for the buttons of every top-level row.
    int needed = 0;
    for (int r = 0; r < rows_.rowCount(); ++r)
        needed = std::max(needed, ActionCell::widthFor(ActionCellDelegate::buttonsAt(
                                                           rows_.index(r, static_cast<int>(MainColumn::action))),
                                                       table_.font()));
    QHeaderView* header = table_.header();
    const int column = static_cast<int>(MainColumn::action);
    if (needed + 16 > header->sectionSize(column))
        header->resizeSection(column, needed + 16);
}

// --- the large-run confirmation ---------------------------------------------------------

void BulkRunControls::pendingLargeOpChanged()
{
    const auto& pending = model_.pendingLargeOp();
    if (!pending) {
        alertFor_.reset();
        if (alert_)
            alert_->close();
        return;
    }
    if (alert_ && alertFor_ == pending->id)
        return;
    if (alert_) {
        alertFor_.reset();
        alert_->close();
    }
    alertFor_ = pending->id;
    auto* alert = new QMessageBox(QMessageBox::Question, QStringLiteral("大きいファイルの処理"),
                                  QStringLiteral("大きいファイルの処理"), QMessageBox::NoButton, window_);
    alert->setObjectName(QStringLiteral("largeOperationAlert"));
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(
        ProgressTexts::largeOperationMessage(pending->kind, pending->candidates.size(), pending->totalBytes));
    QPushButton* go = alert->addButton(QStringLiteral("続行"), QMessageBox::AcceptRole);
    go->setObjectName(QStringLiteral("continue"));
    QPushButton* cancel = alert->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    alert->setDefaultButton(go);
    alert->setEscapeButton(cancel);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    const auto id = pending->id;
    connect(alert, &QMessageBox::finished, this, [this, alert, go, id] {
        // Only the answer to the request on screen counts.
        if (!model_.pendingLargeOp() || model_.pendingLargeOp()->id != id)
            return;
        alertFor_.reset();
        if (alert->clickedButton() == go)
            model_.confirmPendingLargeOp();
        else
            model_.dismissPendingLargeOp();
    });
    alert_ = alert;
    alert->open();
}

// --- the progress sheet ------------------------------------------------------------------

void BulkRunControls::operationProgressChanged()
{
    const auto& progress = model_.operationProgress();
    if (sheet_ && (!progress || sheet_->progress() != progress)) {
        sheet_->dismiss();
        sheet_ = nullptr;
    }
    if (!progress || sheet_)
        return;
    auto* sheet = new OperationProgressSheet(progress, static_cast<bool>(openHistory_), window_);
    connect(sheet, &OperationProgressSheet::closeRequested, this, [this, sheet] {
        if (model_.operationProgress() == sheet->progress())
            model_.setOperationProgress(nullptr);
    });
    connect(sheet, &OperationProgressSheet::showLogRequested, this, [this, sheet] {
        if (model_.operationProgress() == sheet->progress())
            model_.setOperationProgress(nullptr);
        if (openHistory_)
            openHistory_();
    });
    sheet_ = sheet;
    sheets_.present(sheet);
}

}  // namespace kelvane::ui
