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

std::size_t compressionDecodeBuffer(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src)
{
    const codec::DecodeResult result = codec::lzfseDecode(src, dst);
    switch (result.status) {
    case codec::DecodeStatus::ok:
    case codec::DecodeStatus::destinationFull:
        return result.written;
    case codec::DecodeStatus::malformed:
        break;
    }
    return 0;
}

}  // namespace kelvane::platform
