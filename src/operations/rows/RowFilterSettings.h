// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/CompressionStatusFilter.h"
#include "operations/rows/KindFilter.h"
#include "operations/rows/SizeRangeFilter.h"

#include <string>

namespace kelvane::operations {

// What the user narrows the main table to: the filter bar's four choices and
// the search text. One value, so the window model, a refresh's input and the
// row tests carry the same set.
struct RowFilterSettings {
    KindFilter kindFilter = KindFilter::all;
    CompressionStatusFilter statusFilter = CompressionStatusFilter::all;
    SizeRangeFilter sizeFilter = SizeRangeFilter::all;
    int minStars = 0;
    std::string searchQuery;

    // Whether anything is narrowed at all ("フィルタ解除" is offered).
    bool isActive() const
    {
        return kindFilter != KindFilter::all || statusFilter != CompressionStatusFilter::all ||
               sizeFilter != SizeRangeFilter::all || minStars > 0 || !searchQuery.empty();
    }
    bool operator==(const RowFilterSettings&) const = default;
};

}  // namespace kelvane::operations
