// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/SortKey.h"

#include <QAbstractTableModel>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace kelvane::ui::sheets {

// What the sheets' tables of found files have in common, whatever their row
// type: each row stands for one file (its path), and the sheet's model holds
// which of them are picked.
class CandidateTable : public QAbstractTableModel {
public:
    using Paths = std::set<std::filesystem::path>;

    virtual const std::filesystem::path& pathAt(int row) const = 0;
    virtual const Paths& selection() const = 0;
    virtual void setSelection(Paths selection) = 0;

    // How a column is drawn besides its text.
    enum class Look { name, figure, date, text };

protected:
    using QAbstractTableModel::QAbstractTableModel;

    // The name column's file icon, the figures right-aligned, figures and
    // dates in the table's typeface with even digits.
    static QVariant lookData(Look look, int role);
};

// A table of found files with these columns: the rows as the sheet's model
// hands them over, the selection and the sort order held by that model (a
// click on a header sorts through it), and, where the table offers them,
// tick boxes on the names.
template <class Row, class Model>
class CandidateTableModel : public CandidateTable {
public:
    using Key = typename Row::Key;
    using SortOrder = std::vector<operations::SortKey<Key>>;
    struct Column {
        QString title;
        Key key;
        Look look;
    };
    // Where the model keeps the table's sort order.
    struct Sorting {
        const SortOrder& (Model::*order)() const;
        void (Model::*setOrder)(SortOrder);
    };

    const std::vector<Row>& rows() const { return rows_; }
    const std::filesystem::path& pathAt(int row) const override { return rows_[static_cast<std::size_t>(row)].id(); }
    const Paths& selection() const override { return model_.selection(); }
    void setSelection(Paths selection) override { model_.setSelection(std::move(selection)); }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        const Row& row = rows_[static_cast<std::size_t>(index.row())];
        const Look look = columns_[static_cast<std::size_t>(index.column())].look;
        switch (role) {
        case Qt::DisplayRole: return text(row, index.column());
        case Qt::ToolTipRole: return toolTip(row, index.column());
        case Qt::CheckStateRole:
            if (ticks_ && look == Look::name)
                return selection().contains(row.id()) ? Qt::Checked : Qt::Unchecked;
            return {};
        default: return lookData(look, role);
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override
    {
        if (!ticks_ || role != Qt::CheckStateRole ||
            !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
            columns_[static_cast<std::size_t>(index.column())].look != Look::name)
            return false;
        Paths picked = selection();
        const std::filesystem::path& path = rows_[static_cast<std::size_t>(index.row())].id();
        if (value.value<Qt::CheckState>() == Qt::Checked)
            picked.insert(path);
        else
            picked.erase(path);
        setSelection(std::move(picked));
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags flags = CandidateTable::flags(index);
        if (ticks_ && index.isValid() && columns_[static_cast<std::size_t>(index.column())].look == Look::name)
            flags |= Qt::ItemIsUserCheckable;
        return flags;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= static_cast<int>(columns_.size()))
            return {};
        return columns_[static_cast<std::size_t>(section)].title;
    }

    // The clicked column's key first, ascending or descending.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override
    {
        if (column < 0 || column >= static_cast<int>(columns_.size()))
            return;
        using Order = typename operations::SortKey<Key>::Order;
        (model_.*sorting_.setOrder)(operations::withLeadingKey(
            (model_.*sorting_.order)(), {columns_[static_cast<std::size_t>(column)].key,
                                          order == Qt::AscendingOrder ? Order::forward : Order::reverse}));
    }

protected:
    enum class Ticks { none, onNames };

    CandidateTableModel(Model& model, std::vector<Column> columns, Sorting sorting, Ticks ticks, QObject* parent)
        : CandidateTable(parent),
          model_(model),
          columns_(std::move(columns)),
          sorting_(sorting),
          ticks_(ticks == Ticks::onNames)
    {
    }

    virtual QVariant text(const Row& row, int column) const = 0;
    virtual QVariant toolTip(const Row& row, int column) const = 0;

    void resetRows(std::vector<Row> rows)
    {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }

    // A list that grew at its end and may have changed in place: rows are
    // inserted and changed where they stand; only a shorter list resets, so a
    // view keeps its place while a search adds rows.
    void mergeRows(std::vector<Row> rows)
    {
        if (rows.size() < rows_.size()) {
            resetRows(std::move(rows));
            return;
        }
        const auto kept = static_cast<int>(rows_.size());
        const auto firstChanged =
            static_cast<int>(std::mismatch(rows_.begin(), rows_.end(), rows.begin()).first - rows_.begin());
        if (rows.size() > rows_.size()) {
            beginInsertRows({}, kept, static_cast<int>(rows.size()) - 1);
            rows_.insert(rows_.end(), rows.begin() + kept, rows.end());
            endInsertRows();
        }
        if (firstChanged < kept) {
            std::copy(rows.begin() + firstChanged, rows.begin() + kept, rows_.begin() + firstChanged);
            emit dataChanged(index(firstChanged, 0), index(kept - 1, columnCount() - 1));
        }
    }

    // The selection changed: the tick boxes follow.
    void refreshTicks()
    {
        for (int column = 0; column < columnCount(); ++column)
            if (ticks_ && !rows_.empty() && columns_[static_cast<std::size_t>(column)].look == Look::name)
                emit dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::CheckStateRole});
    }

    Model& model_;

private:
    std::vector<Column> columns_;
    Sorting sorting_;
    bool ticks_;
    std::vector<Row> rows_;
};

}  // namespace kelvane::ui::sheets
