// SPDX-License-Identifier: MIT
#pragma once

#include "platform/CompressionType.h"

namespace kelvane::engine {

// The platform's type, the one representation of a compression type in every
// layer (platform/CompressionType.h; what each means: CompressionRoads.h).
using decmpfs::CompressionType;
using decmpfs::algorithmName;
using decmpfs::allCompressionTypes;
using decmpfs::caseName;
using decmpfs::compressionTypeFromRaw;
using decmpfs::rawValue;

}  // namespace kelvane::engine
