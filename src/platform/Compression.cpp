// SPDX-License-Identifier: MIT
#include "platform/Compression.h"

#include "codec/LzfseDecoder.h"
#include "codec/LzfseEncoder.h"

namespace kelvane::platform {

std::size_t compressionEncodeBuffer(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src)
{
    if (src.empty())
        return 0;
    return codec::lzfseEncode(src, dst);
}

DecodeResult compressionDecodeBuffer(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src)
{
    return codec::lzfseDecode(src, dst);
}

}  // namespace kelvane::platform
