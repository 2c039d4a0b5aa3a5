// SPDX-License-Identifier: MIT
#pragma once

// The decmpfs format, defined once: what the platform layer reads back (the
// file system handing out a compressed file's bytes) and what the engine
// writes (the compressor's header and fork). All integers little-endian.

#include "platform/CompressionType.h"

#include <cstddef>
#include <cstdint>

namespace kelvane::decmpfs {

// The header at the start of the "com.apple.decmpfs" attribute: magic, type,
// logical size of the file.
inline constexpr std::uint32_t magic = 0x636d7066;  // "fpmc" on disk
inline constexpr std::size_t headerSize = 16;

// The header's type values are CompressionType's (CompressionType.h).

// The largest file the format holds, and the largest size read from an
// attribute or a fork that is trusted before anything is allocated.
inline constexpr std::uint64_t maxLogicalSize = 2147483647;  // 2^31 - 1

// The longest inline attribute, header included.
inline constexpr std::size_t maxInlineAttribute = 3802;

// Files from this size on are compressed and decompressed in chunks.
inline constexpr std::int64_t streamingThreshold = 16777216;  // 16 MiB

// The resource fork: a table of blockCount + 1 offsets (uint32, counted from
// the fork's start; the first is the table's own length, the last the fork's
// length), then one compressed block per blockSize bytes of the file.
inline constexpr std::uint64_t blockSize = 65536;
constexpr std::uint64_t blockCount(std::uint64_t logicalSize) { return (logicalSize + blockSize - 1) / blockSize; }
constexpr std::uint64_t tableLength(std::uint64_t logicalSize) { return 4 * (blockCount(logicalSize) + 1); }

// A block encodes at most blockSize bytes; even stored raw with its framing
// it stays far below this, so a longer one is damage, not data.
inline constexpr std::uint64_t maxBlockLength = 2 * blockSize;

// What is wrong with the table entry `offset` that follows `previous` in a
// fork of `forkLength` bytes (the first entry is checked against
// tableLength by the reader).
enum class TableFault { none, decreasing, beyondFork, blockTooLong };
constexpr TableFault checkTableEntry(std::uint64_t previous, std::uint64_t offset, std::uint64_t forkLength)
{
    if (offset < previous)
        return TableFault::decreasing;
    if (offset > forkLength)
        return TableFault::beyondFork;
    if (offset - previous > maxBlockLength)
        return TableFault::blockTooLong;
    return TableFault::none;
}

}  // namespace kelvane::decmpfs
