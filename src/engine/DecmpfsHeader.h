// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionType.h"
#include "engine/DecmpfsHeaderError.h"
#include "platform/DecmpfsFormat.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::engine {

// The 16-byte header at the start of the "com.apple.decmpfs" attribute:
// magic "fpmc", type, logical size; all little-endian.
struct DecmpfsHeader {
    static constexpr std::uint32_t magic = decmpfs::magic;
    static constexpr std::size_t byteCount = decmpfs::headerSize;

    CompressionType compressionType = CompressionType::lzfseAttr;
    std::uint64_t uncompressedSize = 0;

    bool operator==(const DecmpfsHeader&) const = default;

    static std::vector<std::uint8_t> encode(CompressionType type, std::uint64_t uncompressedSize);

    // Reads the first 16 bytes of `bytes` (the whole attribute may be given)
    // and never looks beyond them. Throws DecmpfsHeaderError.
    static DecmpfsHeader parse(std::span<const std::uint8_t> bytes);
};

}  // namespace kelvane::engine
