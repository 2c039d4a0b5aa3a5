// SPDX-License-Identifier: MIT
#include "operations/rows/SortKey.h"

#include <gtest/gtest.h>

#include <compare>
#include <random>
#include <utility>
#include <vector>

namespace kelvane::operations {
namespace {

// (key, order of arrival): only the key is compared, the arrival shows
// whether equal rows kept their order.
using Row = std::pair<int, int>;
enum class Key { value };

std::weak_ordering byValue(const Row& a, const Row& b, Key) { return a.first <=> b.first; }

// Rows added to a sorted list and sorted in by sortTailByKeys come out as one
// sort of the whole list gives them, equal rows in their order of arrival,
// in either direction and whatever the share already sorted.
TEST(SortKeyTest, SortingOnlyTheNewRowsGivesTheOrderOfASortOfTheWhole)
{
    std::mt19937 random(20261209);
    for (const auto order : {SortKey<Key>::Order::forward, SortKey<Key>::Order::reverse}) {
        const std::vector<SortKey<Key>> keys{{Key::value, order}};
        std::vector<Row> incremental;
        std::vector<Row> whole;
        std::size_t sorted = 0;
        int arrival = 0;
        for (const int batch : {0, 1, 7, 200, 13, 450, 2}) {
            for (int i = 0; i < batch; ++i) {
                const Row row{static_cast<int>(random() % 9), arrival++};
                incremental.push_back(row);
                whole.push_back(row);
            }
            sortTailByKeys(incremental, sorted, keys, byValue);
            sorted = incremental.size();
            sortByKeys(whole, keys, byValue);
            ASSERT_EQ(incremental, whole) << "after " << arrival << " rows";
        }
    }
}

}  // namespace
}  // namespace kelvane::operations
