// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/OperationProgress.h"
#include "store/IncompressibleFile.h"
#include "store/Predicate.h"

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::operations {

// The store side of a bulk run: its one batched write, and the known
// incompressible paths. Main thread, through the store's main context.
struct BulkPersistence {
    // Inserts the queued history records, removes the stale incompressible
    // records, stores the new ones, empties the three queues and saves once.
    // A failed save is logged and the run goes on.
    static void flushPendingRecords(OperationProgress& progress, store::ModelContext& context);

    // The first entry for a path wins; an existing record is updated; every
    // record gets the same date. Does not save.
    static void upsertIncompressibleEntries(const std::vector<OperationProgress::PendingIncompressible>& entries,
                                            store::ModelContext& context);

    // Every record by its path; empty when the fetch fails.
    static std::unordered_map<std::string, std::shared_ptr<store::IncompressibleFile>> fetchIncompressibleByPath(
        store::ModelContext& context);

    static store::Predicate<store::IncompressibleFile> incompressiblePathPredicate(const std::set<std::string>& paths);

    // The paths known not to shrink; empty when the store cannot be read.
    static std::set<std::string> loadIncompressiblePaths(store::ModelContext& context);
};

}  // namespace kelvane::operations
