// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"
#include "operations/threads/TaskHandle.h"

#include <QObject>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <vector>

namespace kelvane::operations {

class FileStatusCache;

// The inspections behind the table's status cells: each row's file is
// inspected on a worker and what is found lands in the status cache. A row is
// never in flight twice unless asked to be (a retry); forgetting everything
// in flight makes the results still to come be dropped, so nothing read
// before a refresh overwrites what the refresh finds. Main thread only.
class StatusInspections final : public QObject {
    Q_OBJECT
public:
    // What a worker runs for one file (the tests give their own).
    using Inspector = std::function<FileStatusEntry(const std::filesystem::path&)>;

    StatusInspections(FileStatusCache& cache, Inspector inspector, QObject* parent = nullptr);

    // Inspects the rows' files; rows already in flight are left out unless
    // `again`. The task finishes once the results are stored (or dropped).
    TaskHandle inspect(std::vector<DisplayRow> rows, bool again = false);
    // Only the rows that have no state yet and are not in flight.
    TaskHandle inspectUninspected(std::vector<DisplayRow> rows);
    // The results of everything in flight will be dropped.
    void forgetInFlight();
    bool isInFlight(const RowId& rowId) const { return inFlight_.contains(rowId); }

private:
    FileStatusCache& cache_;
    Inspector inspector_;
    std::set<RowId> inFlight_;
    std::uint64_t generation_ = 0;
};

}  // namespace kelvane::operations
