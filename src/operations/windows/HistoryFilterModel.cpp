// SPDX-License-Identifier: MIT
#include "operations/windows/HistoryFilterModel.h"

#include <QLocale>

#include <compare>

namespace kelvane::operations {

namespace {

// Texts in the order of the user's language; without one (the C locale) in
// that of the interface's.
QCollator textCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::Japanese, QLocale::Japan);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

}  // namespace

QString HistoryFilterModel::label(OperationFilter filter)
{
    static const QString labels[]{QStringLiteral("全て"), QStringLiteral("圧縮"), QStringLiteral("解除")};
    return labels[static_cast<int>(filter)];
}

QString HistoryFilterModel::label(ResultFilter filter)
{
    static const QString labels[]{QStringLiteral("全て"), QStringLiteral("成功"), QStringLiteral("失敗")};
    return labels[static_cast<int>(filter)];
}

HistoryFilterModel::HistoryFilterModel(HistoryModel& records, QObject* parent)
    : QSortFilterProxyModel(parent), records_(records), collator_(textCollator())
{
    setSourceModel(&records_);
    QSortFilterProxyModel::sort(HistoryModel::executedAt, Qt::DescendingOrder);
    // Connected after the proxy's own handling, so the rows are new by now.
    connect(&records_, &QAbstractItemModel::modelReset, this, [this] {
        dropVanishedSelection();
        emit shownChanged();
    });
}

void HistoryFilterModel::setOperationFilter(OperationFilter filter)
{
    operationFilter_ = filter;
    refilter();
}

void HistoryFilterModel::setResultFilter(ResultFilter filter)
{
    resultFilter_ = filter;
    refilter();
}

void HistoryFilterModel::setSearchQuery(const QString& query)
{
    searchQuery_ = query;
    refilter();
}

void HistoryFilterModel::refilter()
{
    invalidateRowsFilter();
    emit shownChanged();
}

bool HistoryFilterModel::matches(const HistoryLog& log) const
{
    if (operationFilter_ == OperationFilter::compress && log.operation() != "compress")
        return false;
    if (operationFilter_ == OperationFilter::decompress && log.operation() != "decompress")
        return false;
    if (resultFilter_ == ResultFilter::success && !log.success())
        return false;
    if (resultFilter_ == ResultFilter::failure && log.success())
        return false;
    if (searchQuery_.isEmpty())
        return true;
    return QString::fromStdString(log.targetPath()).contains(searchQuery_, Qt::CaseInsensitive);
}

bool HistoryFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return !sourceParent.isValid() && matches(records_.log(sourceRow));
}

void HistoryFilterModel::sort(int column, Qt::SortOrder order)
{
    if (!HistoryModel::isSortable(column) || (column == sortColumn() && order == sortOrder()))
        return;
    QSortFilterProxyModel::sort(column, order);
    emit shownChanged();
}

int HistoryFilterModel::compare(int column, const HistoryLog& a, const HistoryLog& b) const
{
    const auto sign = [](std::strong_ordering order) { return order < 0 ? -1 : order > 0 ? 1 : 0; };
    const auto texts = [this](const std::string& x, const std::string& y) {
        return collator_.compare(QString::fromStdString(x), QString::fromStdString(y));
    };
    switch (column) {
    case HistoryModel::executedAt: return sign(a.executedAt() <=> b.executedAt());
    case HistoryModel::operation: return sign(a.operation() <=> b.operation());
    case HistoryModel::target: return texts(a.targetPath(), b.targetPath());
    case HistoryModel::sizeBefore: return sign(a.sizeBefore() <=> b.sizeBefore());
    case HistoryModel::sizeAfter: return sign(a.sizeAfter() <=> b.sizeAfter());
    case HistoryModel::algorithm: return texts(a.algorithm(), b.algorithm());
    case HistoryModel::duration: return sign(a.durationMs() <=> b.durationMs());
    }
    return 0;
}

bool HistoryFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int order = compare(left.column(), records_.log(left.row()), records_.log(right.row()));
    if (order != 0)
        return order < 0;
    // Equal keys keep the records' own order (newest first) either way round;
    // the proxy sorts from its current order, so stability alone would keep
    // the previous sort's order instead.
    return sortOrder() == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row();
}

const HistoryLog& HistoryFilterModel::log(int row) const
{
    return records_.log(mapToSource(index(row, 0)).row());
}

HistoryLogs HistoryFilterModel::shownLogs() const
{
    HistoryLogs rows;
    for (int row = 0; row < rowCount(); ++row)
        rows.push_back(records_.logs()[static_cast<std::size_t>(mapToSource(index(row, 0)).row())]);
    return rows;
}

void HistoryFilterModel::setSelection(HistoryIds ids)
{
    selection_ = std::move(ids);
    emit selectionChanged();
}

void HistoryFilterModel::selectShown(const HistoryIds& shownSelected)
{
    for (int row = 0; row < rowCount(); ++row)
        selection_.erase(log(row).id());
    selection_.insert(shownSelected.begin(), shownSelected.end());
    emit selectionChanged();
}

void HistoryFilterModel::dropVanishedSelection()
{
    HistoryIds existing;
    for (const auto& log : records_.logs())
        existing.insert(log->id());
    const auto dropped = std::erase_if(selection_, [&](const store::Uuid& id) { return !existing.contains(id); });
    if (dropped > 0)
        emit selectionChanged();
}

std::optional<QString> HistoryFilterModel::copyText(const std::optional<HistoryIds>& ids) const
{
    const HistoryIds& wanted = ids ? *ids : selection_;
    const bool everything = !ids && selection_.empty();
    HistoryLogs rows;
    for (const auto& log : shownLogs())
        if (everything || wanted.contains(log->id()))
            rows.push_back(log);
    if (rows.empty())
        return std::nullopt;
    return HistoryModel::tsv(rows);
}

}  // namespace kelvane::operations
