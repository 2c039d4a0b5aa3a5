// SPDX-License-Identifier: MIT
#include "platform/CompressionType.h"

#include "platform/CompressionRoads.h"

namespace kelvane::decmpfs {

// Both names stand in the type's row of the roads, beside everything else the
// type means.
std::string_view algorithmName(CompressionType type)
{
    return compressionTypeFromRaw(rawValue(type)) ? compressionRoad(type).algorithm : "?";
}

std::string_view caseName(CompressionType type)
{
    return compressionTypeFromRaw(rawValue(type)) ? compressionRoad(type).caseName : "?";
}

}  // namespace kelvane::decmpfs
