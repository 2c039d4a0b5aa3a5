// SPDX-License-Identifier: MIT
#pragma once

// One table, keyed by the compression type, of everything a type means to the
// code: where its compressed bytes live and which codec reads and writes
// them. Every road dispatches through it: the engine's compression (in memory
// and streaming), its inline and fork codecs, and the file system's reading
// side here. Adding a type is a row here, and a codec below if it needs a new
// one.

#include "codec/DecodeResult.h"
#include "platform/Compression.h"
#include "platform/CompressionType.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane::decmpfs {

using codec::DecodeResult;
using codec::DecodeStatus;

// Where a type keeps the compressed bytes.
enum class Storage {
    attribute,     // inline, behind the header in "com.apple.decmpfs"
    resourceFork,  // in the fork, one block per blockSize bytes behind the offset table
    elsewhere,     // not on this disk (a dataless file)
};

// The codings of a payload (an inline payload or one fork block).
enum class Coding {
    none,      // not read here: reading such a file fails
    stored,    // the bytes as they are
    storedV2,  // a 0xFF marker, then the bytes as they are
    zlib,      // a zlib stream, or a byte with the low nibble 0xF and the bytes as they are
    lzvn,      // an LZVN payload, or the byte 0x06 and the bytes as they are
    lzfse,     // an LZFSE stream, through the compression library
};

// Both with the codec's semantics: a decoder stops when `dst` is full and
// never writes outside it; an encoder returns the stream's length, 0 when it
// does not fit `dst`, the same stream whatever room `dst` gives.
using Decoder = DecodeResult (*)(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);
using Encoder = std::size_t (*)(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);

struct Codec {
    Coding coding = Coding::none;
    Decoder decode = nullptr;     // null: not read
    Encoder encode = nullptr;     // null: never written
    std::size_t encodeSlack = 0;  // room beyond the input's length an encoder is given

    // The destination an encoder is given for `length` bytes: a stream that
    // does not fit is not worth keeping.
    constexpr std::size_t encodeBound(std::size_t length) const { return length + encodeSlack; }
};

namespace codecs {

DecodeResult decodeStored(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);
DecodeResult decodeStoredV2(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);
DecodeResult decodeZlib(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);
DecodeResult decodeLzvn(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);

inline constexpr Codec none{};
inline constexpr Codec stored{Coding::stored, &decodeStored};
inline constexpr Codec storedV2{Coding::storedV2, &decodeStoredV2};
inline constexpr Codec zlib{Coding::zlib, &decodeZlib};
inline constexpr Codec lzvn{Coding::lzvn, &decodeLzvn};
// The input's length + 64 bytes is the destination the library is given.
inline constexpr Codec lzfse{Coding::lzfse, &platform::compressionDecodeBuffer, &platform::compressionEncodeBuffer, 64};

}  // namespace codecs

struct CompressionRoad {
    CompressionType type;
    std::string_view caseName;   // the case's own name, for the textual form of failures
    std::string_view algorithm;  // the algorithm's name as the windows show it
    Storage storage;
    const Codec* codec;
    bool written = false;  // the type Kelvane writes for its storage
};

inline constexpr std::array<CompressionRoad, allCompressionTypes.size()> compressionRoads{{
    {CompressionType::uncompressedAttr, "uncompressedAttr", "Uncompressed", Storage::attribute, &codecs::stored},
    {CompressionType::zlibAttr, "zlibAttr", "ZLIB", Storage::attribute, &codecs::zlib},
    {CompressionType::zlibRsrc, "zlibRsrc", "ZLIB", Storage::resourceFork, &codecs::none},
    {CompressionType::datalessSparse, "datalessSparse", "Sparse", Storage::elsewhere, &codecs::none},
    {CompressionType::uncompressedRsrc, "uncompressedRsrc", "Uncompressed", Storage::resourceFork, &codecs::none},
    {CompressionType::lzvnAttr, "lzvnAttr", "LZVN", Storage::attribute, &codecs::lzvn},
    {CompressionType::lzvnRsrc, "lzvnRsrc", "LZVN", Storage::resourceFork, &codecs::lzvn},
    {CompressionType::uncompressedAttrV2, "uncompressedAttrV2", "Uncompressed", Storage::attribute, &codecs::storedV2},
    {CompressionType::uncompressedRsrcV2, "uncompressedRsrcV2", "Uncompressed", Storage::resourceFork, &codecs::none},
    {CompressionType::lzfseAttr, "lzfseAttr", "LZFSE", Storage::attribute, &codecs::lzfse, true},
    {CompressionType::lzfseRsrc, "lzfseRsrc", "LZFSE", Storage::resourceFork, &codecs::lzfse, true},
    {CompressionType::lzbitmapAttr, "lzbitmapAttr", "LZBitmap", Storage::attribute, &codecs::none},
    {CompressionType::lzbitmapRsrc, "lzbitmapRsrc", "LZBitmap", Storage::resourceFork, &codecs::none},
}};

constexpr const CompressionRoad& compressionRoad(CompressionType type)
{
    for (const CompressionRoad& road : compressionRoads)
        if (road.type == type)
            return road;
    return compressionRoads.front();  // unreachable: the table has a row per type (checked below)
}

// The row of a raw header value; null for a value that is no type.
constexpr const CompressionRoad* compressionRoadFromRaw(std::uint32_t rawType)
{
    const auto type = compressionTypeFromRaw(rawType);
    return type ? &compressionRoad(*type) : nullptr;
}

// Whether the file system reads a file of this raw type from its attribute,
// or from its fork; neither for an unknown type or one without a decoder.
constexpr bool isReadFrom(std::uint32_t rawType, Storage storage)
{
    const CompressionRoad* road = compressionRoadFromRaw(rawType);
    return road && road->storage == storage && road->codec->decode;
}

// The type Kelvane writes to `storage` (attribute or resourceFork).
constexpr CompressionType writtenType(Storage storage)
{
    for (const CompressionRoad& road : compressionRoads)
        if (road.written && road.storage == storage)
            return road.type;
    return CompressionType::uncompressedAttr;  // unreachable (checked below)
}

namespace detail {
constexpr bool hasOneRowPerTypeInOrder()
{
    for (std::size_t i = 0; i < compressionRoads.size(); ++i)
        if (compressionRoads[i].type != allCompressionTypes[i] || !compressionRoads[i].codec)
            return false;
    return true;
}
constexpr bool writesOneTypePerStorage()
{
    int attribute = 0, fork = 0;
    for (const CompressionRoad& road : compressionRoads) {
        if (!road.written)
            continue;
        if (!road.codec->encode || !road.codec->decode)
            return false;  // what is written must be read back to be proven
        attribute += road.storage == Storage::attribute;
        fork += road.storage == Storage::resourceFork;
    }
    return attribute == 1 && fork == 1;
}
}  // namespace detail
// GCC's null checks (-fsanitize=undefined) make a function's address compared
// with null no longer a constant expression: the plain build checks these.
#ifndef KELVANE_SANITIZED
static_assert(detail::hasOneRowPerTypeInOrder(), "one row per compression type, in declaration order");
static_assert(detail::writesOneTypePerStorage(), "one written type with an encoder and a decoder per storage");
#endif

}  // namespace kelvane::decmpfs
