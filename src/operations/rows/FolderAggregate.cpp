// SPDX-License-Identifier: MIT
#include "operations/rows/FolderAggregate.h"


#include <cmath>

namespace kelvane::operations {

std::optional<int> FolderAggregate::averageStars() const
{
    long long weighted = 0;
    long long count = 0;
    for (const auto& [stars, files] : starsHistogram) {
        weighted += static_cast<long long>(stars) * files;
        count += files;
    }
    if (count == 0)
        return std::nullopt;
    return static_cast<int>(std::lround(static_cast<double>(weighted) / static_cast<double>(count)));
}

}  // namespace kelvane::operations
