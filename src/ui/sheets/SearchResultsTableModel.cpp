// SPDX-License-Identifier: MIT
#include "ui/sheets/SearchResultsTableModel.h"

#include "display/Formatters.h"
#include "ui/common/VisibleName.h"

namespace kelvane::ui::sheets {

using operations::FileCandidateRow;
using operations::SearchSheetModel;
using Key = FileCandidateRow::Key;

SearchResultsTableModel::SearchResultsTableModel(SearchSheetModel& model, QObject* parent)
    : CandidateTableModel(model,
                          {{QStringLiteral("名前"), Key::name, Look::name},
                           {QStringLiteral("パス"), Key::folderPath, Look::text},
                           {QStringLiteral("サイズ"), Key::size, Look::figure},
                           {QStringLiteral("最終更新"), Key::modificationDate, Look::date},
                           {QStringLiteral("期待度"), Key::stars, Look::text}},
                          {&SearchSheetModel::resultsSortOrder, &SearchSheetModel::setResultsSortOrder},
                          Ticks::none, parent)
{
}

void SearchResultsTableModel::refresh()
{
    resetRows(model_.sortedResults());
}

QVariant SearchResultsTableModel::text(const FileCandidateRow& row, int column) const
{
    switch (column) {
    case name: return visibleName(row.name());
    case path: return visibleName(row.folderPath());
    case size: return display::formatBytes(display::signedByteCount(row.size()));
    case modified: return display::dateFormatter().string(row.modificationDate());
    case stars: return QString::fromStdString(operations::expectationBar(row.stars()));
    }
    return {};
}

QVariant SearchResultsTableModel::toolTip(const FileCandidateRow& row, int column) const
{
    if (column == path)
        return visibleName(row.candidate.url);
    if (column == stars)
        return QString::fromStdString(operations::expectationSummary(row.candidate.url));
    return {};
}

}  // namespace kelvane::ui::sheets
