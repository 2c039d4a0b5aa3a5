#pragma once

#include "platform/DecmpfsFormat.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane::engine {

// The decmpfs compression types; the raw value is what the header stores.
enum class CompressionType : std::uint32_t {
    uncompressedAttr = decmpfs::uncompressedAttr,
    zlibAttr = decmpfs::zlibAttr,
    zlibRsrc = decmpfs::zlibRsrc,
    datalessSparse = decmpfs::datalessSparse,
    uncompressedRsrc = decmpfs::uncompressedRsrc,
    lzvnAttr = decmpfs::lzvnAttr,
    lzvnRsrc = decmpfs::lzvnRsrc,
    uncompressedAttrV2 = decmpfs::uncompressedAttrV2,
    uncompressedRsrcV2 = decmpfs::uncompressedRsrcV2,
    lzfseAttr = decmpfs::lzfseAttr,
    lzfseRsrc = decmpfs::lzfseRsrc,
    lzbitmapAttr = decmpfs::lzbitmapAttr,
    lzbitmapRsrc = decmpfs::lzbitmapRsrc,
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

// No value for 0, 2 and anything above 14.
std::optional<CompressionType> compressionTypeFromRaw(std::uint32_t rawValue);

constexpr std::uint32_t rawValue(CompressionType type) { return static_cast<std::uint32_t>(type); }

// "Uncompressed", "ZLIB", "Sparse", "LZVN", "LZFSE" or "LZBitmap".
std::string_view algorithmName(CompressionType type);

// The case's own name ("lzfseRsrc"), used in the textual form of failures.
std::string_view caseName(CompressionType type);

}  // namespace kelvane::engine
