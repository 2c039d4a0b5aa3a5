// SPDX-License-Identifier: MIT
#pragma once

#include "operations/sheets/FileCandidateRow.h"
#include "operations/sheets/SearchSheetModel.h"
#include "ui/sheets/CandidateTableModel.h"

namespace kelvane::ui::sheets {

// The search results as a table: name, folder, size, date and expectation.
// Holds the sorted rows of the last refresh; a click on a header sorts
// through the sheet model.
class SearchResultsTableModel final
    : public CandidateTableModel<operations::FileCandidateRow, operations::SearchSheetModel> {
public:
    enum ColumnIndex { name, path, size, modified, stars };

    explicit SearchResultsTableModel(operations::SearchSheetModel& model, QObject* parent = nullptr);

    // Takes the sheet model's rows again, in its sort order.
    void refresh();

protected:
    QVariant text(const operations::FileCandidateRow& row, int column) const override;
    QVariant toolTip(const operations::FileCandidateRow& row, int column) const override;
};

}  // namespace kelvane::ui::sheets
