// SPDX-License-Identifier: MIT
#pragma once

#include "engine/LZFSEError.h"
#include "engine/PayloadCodec.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::engine::LZFSE {

// The compression library's LZFSE, the table's codec of the types Kelvane
// writes (PayloadCodec with decmpfs::codecs::lzfse).
inline constexpr const decmpfs::Codec& codec = decmpfs::codecs::lzfse;

inline constexpr std::uint64_t maxDecodedSize = PayloadCodec::maxDecodedSize;

// Room beyond the input's length that a destination gives the encoder.
inline constexpr std::size_t encodeSlack = codec.encodeSlack;

// The LZFSE stream of `data` (empty for empty input). The result may be longer
// than the input; callers decide whether it is worth keeping. Throws
// LZFSEError::encodeFailed.
inline std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data) { return PayloadCodec::encode(codec, data); }

// The same stream written into `destination` (at least data.size() +
// encodeSlack bytes; nothing of it needs to be initialised), for callers that
// reuse one buffer block after block; returns the stream's length (0 for
// empty input). Throws LZFSEError::encodeFailed.
inline std::size_t encodeInto(std::span<const std::uint8_t> data, std::span<std::uint8_t> destination)
{
    return PayloadCodec::encodeInto(codec, data, destination);
}

// Exactly `expectedSize` decoded bytes. Only the count is checked: a stream
// that would decode further yields its first `expectedSize` bytes. Throws
// LZFSEError::decodeFailed, also for sizes above maxDecodedSize.
inline std::vector<std::uint8_t> decode(std::span<const std::uint8_t> data, std::uint64_t expectedSize)
{
    return PayloadCodec::decode(codec, data, expectedSize);
}

// The same into a destination of exactly the expected size, for callers that
// reuse one buffer chunk after chunk. Throws LZFSEError::decodeFailed.
inline void decodeInto(std::span<const std::uint8_t> data, std::span<std::uint8_t> destination)
{
    PayloadCodec::decodeInto(codec, data, destination);
}

}  // namespace kelvane::engine::LZFSE
