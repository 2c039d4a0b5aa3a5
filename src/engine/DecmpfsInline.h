// SPDX-License-Identifier: MIT
#pragma once

#include "engine/DecmpfsHeader.h"
#include "engine/DecmpfsInlineError.h"
#include "engine/LZFSEError.h"
#include "platform/CompressionRoads.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::engine::DecmpfsInline {

// Limit of the whole attribute value, header included.
inline constexpr std::size_t maxPayloadBytes = decmpfs::maxInlineAttribute;

// The type written to the attribute, and its codec (the table's).
inline constexpr CompressionType compressionType = decmpfs::writtenType(decmpfs::Storage::attribute);
inline constexpr const decmpfs::Codec& codec = *decmpfs::compressionRoad(compressionType).codec;

// The whole "com.apple.decmpfs" value of type compressionType (lzfseAttr)
// for `data`. Throws LZFSEError or DecmpfsInlineError::payloadTooLarge.
std::vector<std::uint8_t> encodeLZFSE(std::span<const std::uint8_t> data);

// The file's bytes from a whole attribute value of an attribute type of the
// table whose coding the engine reads: the one it writes (lzfseAttr) and the
// stored ones (uncompressedAttr, uncompressedAttrV2); a new buffer, never a
// view. Throws DecmpfsHeaderError, DecmpfsInlineError or LZFSEError; sizes the
// attribute could never hold are refused before anything is allocated.
std::vector<std::uint8_t> decode(std::span<const std::uint8_t> attribute);

}  // namespace kelvane::engine::DecmpfsInline
