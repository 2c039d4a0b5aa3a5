// SPDX-License-Identifier: MIT
#include "ui/sheets/WizardCandidatesTableModel.h"

#include "display/Formatters.h"
#include "engine/ExtensionCategory.h"
#include "operations/sheets/WizardPresetScanModel.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"
#include "ui/common/VisibleName.h"

#include <QApplication>

#include <algorithm>
#include <limits>

namespace kelvane::ui::sheets {

using operations::WizardCandidate;
using operations::WizardPresetScanModel;

WizardCandidatesTableModel::WizardCandidatesTableModel(WizardPresetScanModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model)
{
    connect(&model_, &WizardPresetScanModel::candidatesChanged, this, &WizardCandidatesTableModel::refresh);
    connect(&model_, &WizardPresetScanModel::selectionChanged, this, &WizardCandidatesTableModel::refreshTicks);
    rows_ = model_.displayedCandidates();
}

void WizardCandidatesTableModel::refresh()
{
    // A scan adds rows at the end and now and then re-sorts them: rows are
    // inserted and changed in place; only a shorter list (a new scan) resets.
    std::vector<WizardCandidate> rows = model_.displayedCandidates();
    if (rows.size() < rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    const auto kept = static_cast<int>(rows_.size());
    const auto firstChanged = static_cast<int>(std::mismatch(rows_.begin(), rows_.end(), rows.begin()).first - rows_.begin());
    if (rows.size() > rows_.size()) {
        beginInsertRows({}, kept, static_cast<int>(rows.size()) - 1);
        rows_.insert(rows_.end(), rows.begin() + kept, rows.end());
        endInsertRows();
    }
    if (firstChanged < kept) {
        std::copy(rows.begin() + firstChanged, rows.begin() + kept, rows_.begin() + firstChanged);
        emit dataChanged(index(firstChanged, 0), index(kept - 1, columnCount_ - 1));
    }
}

void WizardCandidatesTableModel::refreshTicks()
{
    if (!rows_.empty())
        emit dataChanged(index(0, name), index(rowCount() - 1, name), {Qt::CheckStateRole});
}

int WizardCandidatesTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int WizardCandidatesTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant WizardCandidatesTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const WizardCandidate& row = rows_[static_cast<std::size_t>(index.row())];
    const auto shownSize = static_cast<std::int64_t>(
        std::min<std::uint64_t>(row.size, std::numeric_limits<std::int64_t>::max()));
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case name: return visibleName(row.name());
        case size: return display::formatBytes(shownSize);
        case stars: return QString::fromStdString(engine::starBar(row.stars));
        case modified: return display::dateTimeFormatter().string(row.mtime);
        case location: return visibleName(row.location());
        }
        break;
    case Qt::CheckStateRole:
        if (index.column() == name)
            return model_.selection().contains(row.url) ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::DecorationRole:
        if (index.column() == name)
            return fileNameIcon();
        break;
    case Qt::ToolTipRole:
        if (index.column() == size)
            return display::formatExactBytes(shownSize);
        if (index.column() == location)
            return visibleName(row.location());
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == size)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::FontRole:
        if (index.column() == size || index.column() == modified)
            return monospacedDigitsFont(QApplication::font());
        break;
    default:
        break;
    }
    return {};
}

bool WizardCandidatesTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != name ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    model_.setSelected(rows_[static_cast<std::size_t>(index.row())].url,
                       value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags WizardCandidatesTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == name)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant WizardCandidatesTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case name: return QStringLiteral("名前");
    case size: return QStringLiteral("サイズ");
    case stars: return QStringLiteral("期待度");
    case modified: return QStringLiteral("最終更新");
    case location: return QStringLiteral("場所");
    }
    return {};
}

void WizardCandidatesTableModel::sort(int column, Qt::SortOrder order)
{
    static constexpr WizardCandidate::Key keys[] = {WizardCandidate::Key::name, WizardCandidate::Key::size,
                                                    WizardCandidate::Key::stars, WizardCandidate::Key::mtime,
                                                    WizardCandidate::Key::location};
    model_.setSortOrder(operations::afterHeaderClick(model_.sortOrder(), keys, column, order == Qt::AscendingOrder));
}

}  // namespace kelvane::ui::sheets
