// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace kelvane::ui {

// Walks of the table's row tree, depth first, each row before its children.
struct RowWalks {
    // A registered item whose bookmark did not resolve has no file on disk.
    static bool isUnresolved(const std::filesystem::path& url);
    static bool isUnresolved(const operations::DisplayRow& row) { return isUnresolved(row.url); }

    // The selected rows, at any depth.
    static std::vector<operations::DisplayRow> selectedRows(const std::vector<operations::DisplayRow>& rows,
                                                            const std::set<operations::RowId>& ids);
    // The locations of the selected rows that have a file on disk.
    static std::vector<std::filesystem::path> selectedURLs(const std::vector<operations::DisplayRow>& rows,
                                                           const std::set<operations::RowId>& ids);
    // What a refresh of the selection works on: the selected file rows with a
    // file on disk, and the selected registered folder rows.
    static std::vector<operations::DisplayRow> refreshTargets(const std::vector<operations::DisplayRow>& rows,
                                                              const std::set<operations::RowId>& ids);
};

}  // namespace kelvane::ui
