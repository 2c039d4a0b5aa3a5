// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "operations/rows/DisplayRowComparator.h"
#include "operations/rows/FileStatusEntry.h"
#include "operations/rows/FolderAggregate.h"
#include "operations/rows/RowFilterSettings.h"
#include "operations/rows/TopItemRef.h"

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::operations {

// The main table's visible rows, folder summaries and reduction figure,
// computed off the main thread from a snapshot of its inputs.
struct DerivedAggregates {
    using TopItemRef = operations::TopItemRef;
    using EntryMap = FileStatusEntries;

    // The filters come first; then what they are applied to.
    struct Input : RowFilterSettings {
        std::vector<TopItemRef> topItems;
        std::unordered_map<store::Uuid, DisplayRow::Children> children;
        std::shared_ptr<const EntryMap> entries;
        std::vector<DisplayRowComparator> sortOrder;
    };

    struct ReductionStatistics {
        std::int64_t bytes = 0;
        int count = 0;
        bool operator==(const ReductionStatistics&) const = default;
    };

    struct Result {
        std::vector<DisplayRow> rows;
        std::unordered_map<store::Uuid, FolderAggregate> aggregates;
        ReductionStatistics reduction;
    };

    // Reads nothing but its input and the registered items' file attributes.
    // Checks `stop` before each registered item; once it is requested the
    // rows gathered so far are returned (and the caller drops them).
    static Result compute(const Input& input, std::stop_token stop = {});
};

}  // namespace kelvane::operations
