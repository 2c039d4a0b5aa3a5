#include "engine/LZFSE.h"

#include "platform/Compression.h"

namespace kelvane::engine::LZFSE {

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data)
{
    if (data.empty())
        return {};
    std::vector<std::uint8_t> out(data.size() + 64);
    const std::size_t written = platform::compressionEncodeBuffer(out, data);
    if (written == 0)
        throw LZFSEError(LZFSEError::encodeFailed{});
    out.resize(written);
    return out;
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
