// SPDX-License-Identifier: MIT
#include "engine/PayloadCodec.h"

#include <algorithm>

namespace kelvane::engine::PayloadCodec {
namespace {

thread_local std::uint64_t encodedBytes = 0;

}  // namespace

std::optional<std::size_t> encodeWithin(const Codec& codec, std::span<const std::uint8_t> data,
                                        std::span<std::uint8_t> destination, std::size_t budget)
{
    if (data.empty())
        return 0;
    if (!codec.encode)
        throw LZFSEError(LZFSEError::encodeFailed{});
    const std::size_t bound = codec.encodeBound(data.size());
    const std::size_t room = std::min({destination.size(), bound, budget});
    encodedBytes += data.size();
    const std::size_t written = codec.encode(destination.first(room), data);
    if (written != 0)
        return written;
    if (room < bound)
        return std::nullopt;
    throw LZFSEError(LZFSEError::encodeFailed{});
}

std::size_t encodeInto(const Codec& codec, std::span<const std::uint8_t> data, std::span<std::uint8_t> destination)
{
    const std::optional<std::size_t> written = encodeWithin(codec, data, destination, destination.size());
    if (!written)
        throw LZFSEError(LZFSEError::encodeFailed{});
    return *written;
}

std::uint64_t bytesEncodedOnThisThread() { return encodedBytes; }

std::vector<std::uint8_t> encode(const Codec& codec, std::span<const std::uint8_t> data)
{
    if (data.empty())
        return {};
    std::vector<std::uint8_t> out(codec.encodeBound(data.size()));
    out.resize(encodeInto(codec, data, out));
    return out;
}

std::optional<LZFSEError> decodeFailure(const decmpfs::DecodeResult& result, std::size_t expectedBytes)
{
    const bool malformed = result.status == decmpfs::DecodeStatus::malformed;
    if (!malformed && result.written == expectedBytes)
        return std::nullopt;
    return LZFSEError(LZFSEError::decodeFailed{static_cast<std::int64_t>(expectedBytes),
                                               malformed ? 0 : static_cast<std::int64_t>(result.written)});
}

void decodeInto(const Codec& codec, std::span<const std::uint8_t> data, std::span<std::uint8_t> destination)
{
    if (destination.empty())
        return;
    if (!codec.decode)
        throw LZFSEError(LZFSEError::decodeFailed{static_cast<std::int64_t>(destination.size()), 0});
    if (auto failure = decodeFailure(codec.decode(destination, data), destination.size()))
        throw *failure;
}

std::vector<std::uint8_t> decode(const Codec& codec, std::span<const std::uint8_t> data, std::uint64_t expectedSize)
{
    if (expectedSize == 0)
        return {};
    if (expectedSize > maxDecodedSize)
        throw LZFSEError(LZFSEError::decodeFailed{saturatingCount(expectedSize), 0});
    std::vector<std::uint8_t> out(expectedSize);
    decodeInto(codec, data, out);
    return out;
}

}  // namespace kelvane::engine::PayloadCodec
