// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"

#include <memory>
#include <string>

namespace kelvane::operations {

// Keeps the machine from sleeping while a bulk run lasts: begun when the run
// starts, ended (by destroying it) when the run ends.
class OperationActivity {
public:
    virtual ~OperationActivity() = default;

    // "Kelvane: 圧縮 in progress" or "Kelvane: 解除 in progress".
    static std::string reason(ActiveOperation::Kind kind);

    // The system's sleep inhibitor when the system offers one; nothing otherwise.
    static std::unique_ptr<OperationActivity> begin(ActiveOperation::Kind kind);
};

}  // namespace kelvane::operations
