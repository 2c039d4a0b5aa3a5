// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/CompressionStatusFilter.h"
#include "operations/rows/FileStatusEntry.h"
#include "operations/rows/KindFilter.h"
#include "operations/rows/SizeRangeFilter.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace kelvane::operations {

// The table's filter settings, with the tests the derived rows apply.
struct DisplayRowPredicate {
    KindFilter kindFilter = KindFilter::all;
    CompressionStatusFilter statusFilter = CompressionStatusFilter::all;
    SizeRangeFilter sizeFilter = SizeRangeFilter::all;
    int minStars = 0;
    std::string searchQuery;
    std::function<FileStatusEntry(const std::string& rowID)> cacheLookup;

    bool isActive() const;

    // The name contains the query, ignoring case; an empty query matches all.
    bool matchesSearch(std::string_view displayName) const;
    // A row not inspected yet passes every status filter.
    bool passesStatus(const FileStatusEntry& entry) const;
    // Only a loaded entry is tested against the size filter.
    bool passesSize(const FileStatusEntry& entry) const;

private:
    mutable QString query_;
    mutable bool queryReady_ = false;
};

}  // namespace kelvane::operations
