// SPDX-License-Identifier: MIT
#pragma once

#include "operations/FileStatusEntry.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::operations {

struct DisplayRow;

// The summary of the files of one registered folder.
struct FolderAggregate {
    int totalCount = 0;
    int compressedCount = 0;
    int uncompressedCount = 0;
    int incompressibleCount = 0;
    int datalessCount = 0;
    int errorCount = 0;
    std::uint64_t totalLogical = 0;
    std::uint64_t totalPhysical = 0;
    std::map<int, int> starsHistogram;  // stars -> files
    int compressableCount = 0;
    int oversizedCount = 0;

    bool operator==(const FolderAggregate&) const = default;

    // The weighted mean of the stars, halves rounded away from zero; none
    // for an empty histogram.
    std::optional<int> averageStars() const;

    // Over the file rows of one folder, with the status cache's entries. An
    // uncompressed file of at least minBytes is compressable up to maxBytes
    // and oversized above it.
    static FolderAggregate compute(const std::vector<DisplayRow>& rows, std::uint64_t minBytes,
                                   std::uint64_t maxBytes,
                                   const std::unordered_map<std::string, FileStatusEntry>& entries);
    // The same with each row's entry already looked up (null: none), in row order.
    static FolderAggregate compute(const std::vector<DisplayRow>& rows, std::uint64_t minBytes,
                                   std::uint64_t maxBytes, const std::vector<const FileStatusEntry*>& rowEntries);
};

}  // namespace kelvane::operations
