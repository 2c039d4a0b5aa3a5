// SPDX-License-Identifier: MIT
#include "platform/CompressionRoads.h"

#include "codec/LzvnDecoder.h"

#include <algorithm>
#include <zlib.h>

namespace kelvane::decmpfs::codecs {

DecodeResult decodeStored(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src)
{
    const std::size_t count = std::min(dst.size(), src.size());
    std::copy_n(src.begin(), count, dst.begin());
    return {src.size() > dst.size() ? DecodeStatus::destinationFull : DecodeStatus::ok, count};
}

DecodeResult decodeStoredV2(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src)
{
    if (src.empty() || src[0] != 0xff)
        return {DecodeStatus::malformed, 0};
    return decodeStored(dst, src.subspan(1));
}

// The platform stores an incompressible chunk as a marker byte followed by the
// raw bytes: low nibble 0xF for zlib (never a valid zlib header), 0x06 for
// LZVN (the end opcode, which cannot start a non-empty payload).
DecodeResult decodeZlib(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src)
{
    if (!src.empty() && (src[0] & 0x0f) == 0x0f)
        return decodeStored(dst, src.subspan(1));
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return {DecodeStatus::malformed, 0};
    stream.next_in = const_cast<Bytef*>(src.data());
    stream.avail_in = static_cast<uInt>(std::min<std::size_t>(src.size(), UINT32_MAX));
    stream.next_out = dst.data();
    stream.avail_out = static_cast<uInt>(dst.size());
    const int status = inflate(&stream, Z_FINISH);
    const std::size_t written = dst.size() - stream.avail_out;
    inflateEnd(&stream);
    if (status == Z_STREAM_END)
        return {DecodeStatus::ok, written};
    if (stream.avail_out == 0 && (status == Z_OK || status == Z_BUF_ERROR))
        return {DecodeStatus::destinationFull, written};
    return {DecodeStatus::malformed, written};
}

DecodeResult decodeLzvn(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src)
{
    if (!src.empty() && src[0] == 0x06)
        return decodeStored(dst, src.subspan(1));
    return codec::lzvnDecode(src, dst);
}

}  // namespace kelvane::decmpfs::codecs
