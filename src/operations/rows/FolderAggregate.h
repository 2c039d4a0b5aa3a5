// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace kelvane::operations {

// The summary of the files of one registered folder. Plain figures: the
// rows it is computed from know it (`aggregateFolder`), never the reverse.
struct FolderAggregate {
    int totalCount = 0;
    int compressedCount = 0;
    int uncompressedCount = 0;
    int incompressibleCount = 0;
    int datalessCount = 0;
    int errorCount = 0;
    int unservedCount = 0;  // compressed where no mount serves them, or under a mount that does not answer
    std::uint64_t totalLogical = 0;
    std::uint64_t totalPhysical = 0;
    std::map<int, int> starsHistogram;  // stars -> files
    int compressableCount = 0;
    int oversizedCount = 0;

    bool operator==(const FolderAggregate&) const = default;

    // The files whose state is known.
    long long classifiedCount() const
    {
        return static_cast<long long>(compressedCount) + uncompressedCount + incompressibleCount + datalessCount +
               errorCount + unservedCount;
    }

    // The weighted mean of the stars, halves rounded away from zero; none
    // for an empty histogram.
    std::optional<int> averageStars() const;
};

}  // namespace kelvane::operations
