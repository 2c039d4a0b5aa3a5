// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"
#include "operations/rows/FolderAggregate.h"
#include "operations/rows/RowId.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::operations {

// What the bottom bar counts in a selection. Counted per selected row, so a
// file selected together with its folder counts twice (the run itself takes
// it once).
struct SelectionStatistics {
    long long compressable = 0;
    long long decompressable = 0;
    long long oversized = 0;
    bool operator==(const SelectionStatistics&) const = default;
};

// The bulk actions of a table selection.
struct BulkSelection {
    using Entries = FileStatusEntries;
    using Aggregates = std::unordered_map<ItemId, FolderAggregate>;
    using FolderChildren = std::unordered_map<ItemId, DisplayRow::Children>;

    // `selected`: the selected rows in walk order (a folder before its files).
    static SelectionStatistics statistics(const std::vector<DisplayRow>& selected,
                                          const Aggregates& aggregates, const Entries& entries);
    // The files a bulk run of the selection takes, each once (by its
    // normalised path, first occurrence wins): selected files that fit the
    // run by their inspected state (or, not inspected, by their row), and the
    // inspected files of selected folders that fit by their state.
    static std::vector<DisplayRow> candidates(ActiveOperation::Kind kind,
                                                          const std::vector<DisplayRow>& selected,
                                                          const FolderChildren& folderChildren,
                                                          const Entries& entries);
};

}  // namespace kelvane::operations
