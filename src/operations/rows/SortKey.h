// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <vector>

namespace kelvane::operations {

// One sort key of a result table, ascending (forward) or descending.
template <class Key>
struct SortKey {
    enum class Order { forward, reverse };
    Key key{};
    Order order = Order::forward;
    bool operator==(const SortKey&) const = default;
};

// Whether `a` comes before `b`: the keys in turn, the first that finds the
// rows different deciding. `compare(a, b, key)` gives the rows' plain
// ordering by that key.
template <class Row, class Key, class Compare>
bool precedesByKeys(const Row& a, const Row& b, const std::vector<SortKey<Key>>& keys, Compare compare)
{
    for (const SortKey<Key>& key : keys) {
        const std::weak_ordering order = compare(a, b, key.key);
        if (order == 0)
            continue;
        return key.order == SortKey<Key>::Order::forward ? order < 0 : order > 0;
    }
    return false;
}

// Sorts by the keys (precedesByKeys); rows every key finds equal keep their
// order.
template <class Row, class Key, class Compare>
void sortByKeys(std::vector<Row>& rows, const std::vector<SortKey<Key>>& keys, Compare compare)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const Row& a, const Row& b) { return precedesByKeys(a, b, keys, compare); });
}

// Sorts rows whose first `sortedCount` are in order already: the rest are
// sorted and merged in, which gives the order sortByKeys gives the whole.
template <class Row, class Key, class Compare>
void sortTailByKeys(std::vector<Row>& rows, std::size_t sortedCount, const std::vector<SortKey<Key>>& keys,
                    Compare compare)
{
    const auto middle = rows.begin() + static_cast<std::ptrdiff_t>(std::min(sortedCount, rows.size()));
    const auto before = [&](const Row& a, const Row& b) { return precedesByKeys(a, b, keys, compare); };
    std::stable_sort(middle, rows.end(), before);
    std::inplace_merge(rows.begin(), middle, rows.end(), before);
}

// What a click on a column header does: that key first, the others after it.
template <class Key>
std::vector<SortKey<Key>> withLeadingKey(std::vector<SortKey<Key>> keys, SortKey<Key> leading)
{
    std::erase_if(keys, [&](const SortKey<Key>& k) { return k.key == leading.key; });
    keys.insert(keys.begin(), leading);
    return keys;
}

// A click on the header of `column`, whose keys stand in `keys` in column
// order: that key first, ascending or descending. Out of range: unchanged.
template <class Key, std::size_t N>
std::vector<SortKey<Key>> afterHeaderClick(std::vector<SortKey<Key>> keys, const Key (&columns)[N], int column,
                                           bool ascending)
{
    if (column < 0 || static_cast<std::size_t>(column) >= N)
        return keys;
    using Order = typename SortKey<Key>::Order;
    return withLeadingKey(std::move(keys), SortKey<Key>{columns[column], ascending ? Order::forward : Order::reverse});
}

}  // namespace kelvane::operations
