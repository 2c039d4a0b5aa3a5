// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "display/RatioDisplayMode.h"
#include "ui/common/TableCells.h"

#include <QAbstractItemModel>

#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::operations {
class FileStatusCache;
}

namespace kelvane::ui {

// The main table's rows as a two-level tree: registered items at the top, a
// folder's files under it. Replacing the rows with the same ids in the same
// places only announces changed data, so the view keeps its expansion,
// selection and scroll position without any work; any other replacement
// resets the model.
class DisplayRowTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        RowIdRole = Qt::UserRole + 1,  // QString
        SpinnerRole,                   // bool: the cell shows a spinner
        ClickableRole,                 // bool: the status cell opens a detail
        ToneRole,                      // int: ui::Tone
        ElideRole,                     // int: Qt::TextElideMode
    };

    explicit DisplayRowTreeModel(const operations::FileStatusCache& cache, QObject* parent = nullptr);

    void setRows(std::vector<operations::DisplayRow> rows);
    const std::vector<operations::DisplayRow>& rows() const { return rows_; }

    void setRatioMode(display::RatioDisplayMode mode);

    const operations::DisplayRow* row(const QModelIndex& index) const;
    QModelIndex indexOfId(const operations::RowId& id, int column = 0) const;
    // The rows of these ids that are there, found in one pass.
    std::unordered_map<operations::RowId, QModelIndex> indexesOfIds(const std::set<operations::RowId>& ids) const;
    CellContent cell(const QModelIndex& index) const;
    operations::FileStatusEntry entry(const operations::DisplayRow& row) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Place {
        int top = 0;
        int child = -1;
    };
    bool sameShape(const std::vector<operations::DisplayRow>& rows) const;
    void announceAllChanged();
    void buildIdIndex() const;

    const operations::FileStatusCache& cache_;
    display::RatioDisplayMode ratioMode_;
    std::vector<operations::DisplayRow> rows_;
    mutable std::unordered_map<operations::RowId, Place> idIndex_;
    mutable bool idIndexValid_ = false;
};

}  // namespace kelvane::ui
