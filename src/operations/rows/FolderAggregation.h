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
// entries. An uncompressed file of at least minBytes is compressable up to
// maxBytes and oversized above it.
FolderAggregate aggregateFolder(const std::vector<DisplayRow>& rows, std::uint64_t minBytes, std::uint64_t maxBytes,
                                const std::unordered_map<std::string, FileStatusEntry>& entries);
// The same with each row's entry already looked up (null: none), in row order.
FolderAggregate aggregateFolder(const std::vector<DisplayRow>& rows, std::uint64_t minBytes, std::uint64_t maxBytes,
                                const std::vector<const FileStatusEntry*>& rowEntries);

}  // namespace kelvane::operations
