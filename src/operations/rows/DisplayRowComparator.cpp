// SPDX-License-Identifier: MIT
#include "operations/rows/DisplayRowComparator.h"

#include "discovery/HomeFolder.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <algorithm>
#include <numeric>
#include <optional>

namespace kelvane::operations {

namespace {

template <class T>
int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareKey(DisplayRowComparator::Key key, const DisplayRow& a, const DisplayRow& b)
{
    using Key = DisplayRowComparator::Key;
    switch (key) {
        case Key::kind: return threeWay(a.kindSortKey(), b.kindSortKey());
        case Key::status: return threeWay(a.statusSortKey(), b.statusSortKey());
        case Key::logicalSize: return threeWay(a.logicalSizeSortKey(), b.logicalSizeSortKey());
        case Key::physicalSize: return threeWay(a.physicalSizeSortKey(), b.physicalSizeSortKey());
        case Key::ratio: return threeWay(a.ratioSortKey(), b.ratioSortKey());
        case Key::stars: return threeWay(a.stars, b.stars);
        case Key::mtime: return threeWay(a.mtimeSortKey(), b.mtimeSortKey());
        case Key::displayName:
        case Key::displayParentPath: break;  // compared through collation keys
    }
    return 0;
}

bool isTextKey(DisplayRowComparator::Key key)
{
    return key == DisplayRowComparator::Key::displayName || key == DisplayRowComparator::Key::displayParentPath;
}

}  // namespace

void sortRows(std::vector<DisplayRow>& rows, const std::vector<DisplayRowComparator>& comparators)
{
    if (comparators.empty() || rows.size() < 2)
        return;

    // Collation keys once per row instead of once per comparison.
    // The C locale collates by code point and ignores the numeric mode.
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                              : QLocale();
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const std::string home = discovery::homeFolder().string();
    std::vector<std::optional<std::vector<QCollatorSortKey>>> textKeys(comparators.size());
    for (std::size_t c = 0; c < comparators.size(); ++c) {
        if (!isTextKey(comparators[c].key))
            continue;
        auto& keys = textKeys[c].emplace();
        keys.reserve(rows.size());
        for (const DisplayRow& row : rows) {
            const std::string text = comparators[c].key == DisplayRowComparator::Key::displayName
                                         ? row.displayName
                                         : homeRelativePath(row.url.parent_path().string(), home);
            keys.push_back(collator.sortKey(QString::fromStdString(text)));
        }
    }

    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        for (std::size_t c = 0; c < comparators.size(); ++c) {
            int result = textKeys[c] ? (*textKeys[c])[x].compare((*textKeys[c])[y])
                                     : compareKey(comparators[c].key, rows[x], rows[y]);
            if (result == 0)
                continue;
            if (comparators[c].order == DisplayRowComparator::Order::reverse)
                result = -result;
            return result < 0;
        }
        return false;
    });

    std::vector<DisplayRow> sorted;
    sorted.reserve(rows.size());
    for (std::size_t index : order)
        sorted.push_back(std::move(rows[index]));
    rows = std::move(sorted);
}

}  // namespace kelvane::operations
