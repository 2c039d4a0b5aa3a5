#pragma once

#include "engine/LZFSEError.h"
#include "engine/ResourceForkError.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::engine::DecmpfsResourceFork {

// The fork: n + 1 little-endian uint32 offsets (n = ceil(size / chunkSize),
// the first offset is the table's own length, the last the fork's length),
// then one LZFSE stream per chunk of the file.
// The numbers and the table's rules are the format's (DecmpfsFormat.h).
inline constexpr std::uint64_t chunkSize = decmpfs::blockSize;
inline constexpr std::uint64_t maxDataSize = decmpfs::maxLogicalSize;
using decmpfs::blockCount;
using decmpfs::tableLength;

// Throws ResourceForkError::dataExceedsMaximum or LZFSEError::encodeFailed.
std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data);

// Exactly `uncompressedSize` bytes. Throws ResourceForkError or
// LZFSEError::decodeFailed; a size above maxDataSize is refused with
// dataExceedsMaximum before anything is allocated.
std::vector<std::uint8_t> decode(std::span<const std::uint8_t> fork, std::uint64_t uncompressedSize);

}  // namespace kelvane::engine::DecmpfsResourceFork
