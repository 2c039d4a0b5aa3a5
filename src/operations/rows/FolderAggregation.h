// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"
#include "operations/rows/FolderAggregate.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::operations {

// The aggregate over the file rows of one folder, with the status cache's
// entries. Which files count as compressable or oversized is the engine's
// CandidateRule, the one the runs follow.
FolderAggregate aggregateFolder(const std::vector<DisplayRow>& rows,
                                const FileStatusEntries& entries);
// The same with each row's entry already looked up (null: none), in row order.
FolderAggregate aggregateFolder(const std::vector<DisplayRow>& rows,
                                const std::vector<const FileStatusEntry*>& rowEntries);

}  // namespace kelvane::operations
