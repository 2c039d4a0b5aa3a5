// SPDX-License-Identifier: MIT
#pragma once

#include "operations/windows/HistoryModel.h"

#include <QCollator>
#include <QSortFilterProxyModel>

#include <optional>

namespace kelvane::operations {

// The history rows the window shows: every record of a HistoryModel narrowed
// by operation, result and a path search, sorted by a column (newest first
// to begin with; equal keys keep the newest-first order), with the records
// the user selected. Selected records that the filters hide stay selected;
// records that go away leave the selection.
class HistoryFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // Each filter's choices, "all" first.
    enum class OperationFilter { all, compress, decompress };
    enum class ResultFilter { all, success, failure };
    static constexpr int choiceCount = 3;
    static QString label(OperationFilter filter);
    static QString label(ResultFilter filter);

    explicit HistoryFilterModel(HistoryModel& records, QObject* parent = nullptr);

    HistoryModel& records() const { return records_; }

    OperationFilter operationFilter() const { return operationFilter_; }
    ResultFilter resultFilter() const { return resultFilter_; }
    const QString& searchQuery() const { return searchQuery_; }
    void setOperationFilter(OperationFilter filter);
    void setResultFilter(ResultFilter filter);
    // Matched as typed (a trailing space must be in the path), any case.
    void setSearchQuery(const QString& query);
    bool matches(const HistoryLog& log) const;

    // A HistoryModel column; the others, and unsortable columns, leave the
    // order as it is.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The record of a shown row, and every shown record in order.
    const HistoryLog& log(int row) const;
    HistoryLogs shownLogs() const;

    const HistoryIds& selection() const { return selection_; }
    void setSelection(HistoryIds ids);
    // The view's selection among the shown rows replaces theirs; hidden
    // selected records stay.
    void selectShown(const HistoryIds& shownSelected);

    // The shown rows that are selected, or every shown row without a
    // selection; with `ids`, the shown rows among them. Nothing when no row
    // qualifies.
    std::optional<QString> copyText(const std::optional<HistoryIds>& ids = std::nullopt) const;

signals:
    // The shown rows or their order changed (a filter, the sort, a reload).
    void shownChanged();
    void selectionChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    // <0, 0 or >0 as `a` sorts before, with or after `b` by `column`.
    int compare(int column, const HistoryLog& a, const HistoryLog& b) const;
    void refilter();
    void dropVanishedSelection();

    HistoryModel& records_;
    OperationFilter operationFilter_ = OperationFilter::all;
    ResultFilter resultFilter_ = ResultFilter::all;
    QString searchQuery_;
    HistoryIds selection_;
    QCollator collator_;
};

}  // namespace kelvane::operations
