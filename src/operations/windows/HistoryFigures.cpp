// SPDX-License-Identifier: MIT
#include "operations/windows/HistoryFigures.h"

#include <algorithm>

namespace kelvane::operations {

std::int64_t totalBytesSaved(const std::vector<std::shared_ptr<store::CompressionLog>>& logs)
{
    std::int64_t total = 0;
    for (const auto& log : logs) {
        if (!log->success() || log->operation() != "compress")
            continue;
        // Sizes come from the file and may be anything; a difference that
        // does not fit counts as nothing rather than wrapping.
        std::int64_t saved = 0;
        if (!__builtin_sub_overflow(log->sizeBefore(), log->sizeAfter(), &saved) && saved > 0)
            total = __builtin_add_overflow(total, saved, &total) ? INT64_MAX : total;
    }
    return total;
}

}  // namespace kelvane::operations
