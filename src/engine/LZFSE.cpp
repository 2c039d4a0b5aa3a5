#include "engine/LZFSE.h"

#include "platform/Compression.h"

#include <algorithm>

namespace kelvane::engine::LZFSE {

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data)
{
    if (data.empty())
        return {};
    std::vector<std::uint8_t> out(data.size() + encodeSlack);
    out.resize(encodeInto(data, out));
    return out;
}

std::size_t encodeInto(std::span<const std::uint8_t> data, std::span<std::uint8_t> destination)
{
    if (data.empty())
        return 0;
    const std::size_t written =
        platform::compressionEncodeBuffer(destination.first(std::min(destination.size(), data.size() + encodeSlack)), data);
    if (written == 0)
        throw LZFSEError(LZFSEError::encodeFailed{});
    return written;
}

std::vector<std::uint8_t> decode(std::span<const std::uint8_t> data, std::uint64_t expectedSize)
{
    if (expectedSize == 0)
        return {};
    if (expectedSize > maxDecodedSize)
        throw LZFSEError(LZFSEError::decodeFailed{saturatingCount(expectedSize), 0});
    std::vector<std::uint8_t> out(expectedSize);
    decodeInto(data, out);
    return out;
}

void decodeInto(std::span<const std::uint8_t> data, std::span<std::uint8_t> destination)
{
    if (destination.empty())
        return;
    const std::size_t got = platform::compressionDecodeBuffer(destination, data);
    if (got != destination.size())
        throw LZFSEError(LZFSEError::decodeFailed{static_cast<std::int64_t>(destination.size()),
                                                  static_cast<std::int64_t>(got)});
}

}  // namespace kelvane::engine::LZFSE
