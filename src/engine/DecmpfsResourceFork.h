// SPDX-License-Identifier: MIT
#pragma once

#include "engine/ByteBuffer.h"
#include "engine/CompressionType.h"
#include "engine/LZFSEError.h"
#include "engine/ResourceForkError.h"
#include "platform/CompressionRoads.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kelvane::engine::DecmpfsResourceFork {

// The fork: n + 1 little-endian uint32 offsets (n = ceil(size / chunkSize),
// the first offset is the table's own length, the last the fork's length),
// then one stream of the fork type's codec (LZFSE) per chunk of the file.
// The numbers and the table's rules are the format's (DecmpfsFormat.h).
inline constexpr std::uint64_t chunkSize = decmpfs::blockSize;
inline constexpr std::uint64_t maxDataSize = decmpfs::maxLogicalSize;
using decmpfs::blockCount;
using decmpfs::tableLength;

// The type written to the fork, and its codec (the table's).
inline constexpr CompressionType compressionType = decmpfs::writtenType(decmpfs::Storage::resourceFork);
inline constexpr const decmpfs::Codec& codec = *decmpfs::compressionRoad(compressionType).codec;

// Throws ResourceForkError::dataExceedsMaximum or LZFSEError::encodeFailed.
std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data);

// The same fork written into `out` (its contents replaced): each block is
// encoded in place behind the table, nothing allocated per block.
void encodeInto(std::span<const std::uint8_t> data, ByteBuffer& out);

// The same fork when it is at most `budget` bytes long; false as soon as
// a block shows that it cannot be (`out` then holds nothing of use).
bool encodeWithin(std::span<const std::uint8_t> data, ByteBuffer& out, std::size_t budget);

// Exactly `uncompressedSize` bytes. Throws ResourceForkError or
// LZFSEError::decodeFailed; a size above maxDataSize is refused with
// dataExceedsMaximum before anything is allocated.
std::vector<std::uint8_t> decode(std::span<const std::uint8_t> fork, std::uint64_t uncompressedSize);

// Decodes the fork block by block into `block` (at least chunkSize bytes) and
// hands each decoded block to `onBlock`, in order; memory stays at one block
// whatever the size. The same checks and failures as decode.
void decodeBlocks(std::span<const std::uint8_t> fork, std::uint64_t uncompressedSize, std::span<std::uint8_t> block,
                  const std::function<void(std::span<const std::uint8_t>)>& onBlock);

}  // namespace kelvane::engine::DecmpfsResourceFork
