// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane::decmpfs {

// The decmpfs compression types, one representation for every layer; the raw
// value is what the header stores. What each type means for reading and
// writing is in the table of CompressionRoads.h.
enum class CompressionType : std::uint32_t {
    uncompressedAttr = 1,
    zlibAttr = 3,
    zlibRsrc = 4,
    datalessSparse = 5,
    uncompressedRsrc = 6,
    lzvnAttr = 7,
    lzvnRsrc = 8,
    uncompressedAttrV2 = 9,
    uncompressedRsrcV2 = 10,
    lzfseAttr = 11,
    lzfseRsrc = 12,
    lzbitmapAttr = 13,
    lzbitmapRsrc = 14,
};

// Every case, in declaration order.
inline constexpr std::array<CompressionType, 13> allCompressionTypes{
    CompressionType::uncompressedAttr, CompressionType::zlibAttr,
    CompressionType::zlibRsrc,         CompressionType::datalessSparse,
    CompressionType::uncompressedRsrc, CompressionType::lzvnAttr,
    CompressionType::lzvnRsrc,         CompressionType::uncompressedAttrV2,
    CompressionType::uncompressedRsrcV2, CompressionType::lzfseAttr,
    CompressionType::lzfseRsrc,        CompressionType::lzbitmapAttr,
    CompressionType::lzbitmapRsrc,
};

constexpr std::uint32_t rawValue(CompressionType type) { return static_cast<std::uint32_t>(type); }

// No value for 0, 2 and anything above 14.
constexpr std::optional<CompressionType> compressionTypeFromRaw(std::uint32_t value)
{
    for (CompressionType type : allCompressionTypes)
        if (rawValue(type) == value)
            return type;
    return std::nullopt;
}

// "Uncompressed", "ZLIB", "Sparse", "LZVN", "LZFSE" or "LZBitmap".
std::string_view algorithmName(CompressionType type);

// The case's own name ("lzfseRsrc"), used in the textual form of failures.
std::string_view caseName(CompressionType type);

}  // namespace kelvane::decmpfs
