// SPDX-License-Identifier: MIT
#pragma once

#include "operations/sheets/FileCandidateRow.h"

#include <QAbstractTableModel>

#include <vector>

namespace kelvane::operations {
class SearchSheetModel;
}

namespace kelvane::ui::sheets {

// The search results as a table: name, folder, size, date and expectation.
// Holds the sorted rows of the last refresh; a click on a header sorts
// through the sheet model.
class SearchResultsTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { name, path, size, modified, stars, columnCount_ };

    explicit SearchResultsTableModel(operations::SearchSheetModel& model, QObject* parent = nullptr);

    // Takes the sheet model's rows again, in its sort order.
    void refresh();
    const std::vector<operations::FileCandidateRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    operations::SearchSheetModel& model_;
    std::vector<operations::FileCandidateRow> rows_;
};

}  // namespace kelvane::ui::sheets
