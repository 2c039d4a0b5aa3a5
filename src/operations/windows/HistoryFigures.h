// SPDX-License-Identifier: MIT
#pragma once

#include "store/CompressionLog.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kelvane::operations {

// Bytes saved by the whole history: max(before - after, 0) of every
// successful compression; decompressions and failures add nothing.
// The history window's footer and the About statistics both show it.
std::int64_t totalBytesSaved(const std::vector<std::shared_ptr<store::CompressionLog>>& logs);

}  // namespace kelvane::operations
