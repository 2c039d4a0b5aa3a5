// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"

#include <vector>

namespace kelvane::operations {

// One sort key of the main table, ascending or descending. Names compare as
// people read them (case ignored, digits by value, the user's locale).
struct DisplayRowComparator {
    enum class Key { displayName, displayParentPath, kind, status, logicalSize, physicalSize, ratio, stars, mtime };
    enum class Order { forward, reverse };

    Key key = Key::displayName;
    Order order = Order::forward;

    bool operator==(const DisplayRowComparator&) const = default;
};

// Sorts by the comparators in turn: the first that finds two rows different
// decides; rows all of them find equal keep their order.
void sortRows(std::vector<DisplayRow>& rows, const std::vector<DisplayRowComparator>& comparators);

}  // namespace kelvane::operations
