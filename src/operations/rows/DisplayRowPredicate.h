// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/FileStatusEntry.h"
#include "operations/rows/RowFilterSettings.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace kelvane::operations {

// The table's filter settings, with the tests the derived rows apply.
struct DisplayRowPredicate : RowFilterSettings {
    explicit DisplayRowPredicate(RowFilterSettings settings = {}) : RowFilterSettings(std::move(settings)) {}

    std::function<FileStatusEntry(const RowId& rowID)> cacheLookup;

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
