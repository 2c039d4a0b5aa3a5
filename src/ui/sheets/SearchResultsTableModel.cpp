// SPDX-License-Identifier: MIT
#include "ui/sheets/SearchResultsTableModel.h"

#include "discovery/PathExtension.h"
#include "display/Formatters.h"
#include "engine/ExtensionCategory.h"
#include "operations/sheets/SearchSheetModel.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"
#include "ui/common/VisibleName.h"

#include <QApplication>

#include <algorithm>
#include <limits>

namespace kelvane::ui::sheets {

using operations::FileCandidateRow;

namespace {

QString qText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SearchResultsTableModel::SearchResultsTableModel(operations::SearchSheetModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model)
{
}

void SearchResultsTableModel::refresh()
{
    beginResetModel();
    rows_ = model_.sortedResults();
    endResetModel();
}

int SearchResultsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SearchResultsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant SearchResultsTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FileCandidateRow& row = rows_[static_cast<std::size_t>(index.row())];
    const auto category = engine::fileExtensionCategory(discovery::pathExtension(row.name()));
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case name: return visibleName(row.name());
        case path: return visibleName(row.folderPath());
        case size:
            return display::formatBytes(static_cast<std::int64_t>(
                std::min<std::uint64_t>(row.size(), std::numeric_limits<std::int64_t>::max())));
        case modified: return display::dateFormatter().string(row.modificationDate());
        case stars: return QString::fromStdString(engine::starBar(engine::stars(category)));
        }
    } else if (role == Qt::DecorationRole) {
        if (index.column() == name)
            return fileNameIcon();
    } else if (role == Qt::ToolTipRole) {
        if (index.column() == path)
            return visibleName(row.candidate.url);
        if (index.column() == stars)
            return qText(engine::displayName(category)) + QStringLiteral(" — ") +
                   qText(engine::expectedRatioText(category));
    } else if (role == Qt::TextAlignmentRole) {
        if (index.column() == size)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    } else if (role == Qt::FontRole) {
        if (index.column() == size || index.column() == modified)
            return monospacedDigitsFont(QApplication::font());
    }
    return {};
}

QVariant SearchResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case name: return QStringLiteral("名前");
    case path: return QStringLiteral("パス");
    case size: return QStringLiteral("サイズ");
    case modified: return QStringLiteral("最終更新");
    case stars: return QStringLiteral("期待度");
    }
    return {};
}

void SearchResultsTableModel::sort(int column, Qt::SortOrder order)
{
    static constexpr FileCandidateRow::Key keys[] = {FileCandidateRow::Key::name, FileCandidateRow::Key::folderPath,
                                                     FileCandidateRow::Key::size,
                                                     FileCandidateRow::Key::modificationDate,
                                                     FileCandidateRow::Key::stars};
    model_.setResultsSortOrder(
        operations::afterHeaderClick(model_.resultsSortOrder(), keys, column, order == Qt::AscendingOrder));
}

}  // namespace kelvane::ui::sheets
