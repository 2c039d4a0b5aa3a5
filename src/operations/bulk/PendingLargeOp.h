// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"
#include "operations/rows/DisplayRow.h"
#include "store/Uuid.h"

#include <cstdint>
#include <vector>

namespace kelvane::operations {

// A bulk run waiting for the user's confirmation because it is large.
struct PendingLargeOp {
    store::Uuid id;  // fresh per request
    ActiveOperation::Kind kind = ActiveOperation::Kind::compress;
    std::vector<DisplayRow> candidates;  // file rows, in candidate order
    std::int64_t totalBytes = 0;         // their logical sizes

    bool operator==(const PendingLargeOp&) const = default;
};

}  // namespace kelvane::operations
