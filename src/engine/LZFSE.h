#pragma once

#include "engine/LZFSEError.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::engine::LZFSE {

// Largest decoded size a caller may ask for; larger sizes come from damaged
// or hostile headers and are refused before anything is allocated.
inline constexpr std::uint64_t maxDecodedSize = decmpfs::maxLogicalSize;

// The LZFSE stream of `data` (empty for empty input). The result may be longer
// than the input; callers decide whether it is worth keeping. Throws
// LZFSEError::encodeFailed.
std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data);

// Room beyond the input's length that a destination gives the encoder.
inline constexpr std::size_t encodeSlack = 64;

// The same stream written into `destination` (at least data.size() +
// encodeSlack bytes; nothing of it needs to be initialised), for callers that
// reuse one buffer block after block; returns the stream's length (0 for
// empty input). Throws LZFSEError::encodeFailed.
std::size_t encodeInto(std::span<const std::uint8_t> data, std::span<std::uint8_t> destination);

// Exactly `expectedSize` decoded bytes. Only the count is checked: a stream
// that would decode further yields its first `expectedSize` bytes. Throws
// LZFSEError::decodeFailed, also for sizes above maxDecodedSize.
std::vector<std::uint8_t> decode(std::span<const std::uint8_t> data, std::uint64_t expectedSize);

// The same into a destination of exactly the expected size, for callers that
// reuse one buffer chunk after chunk. Throws LZFSEError::decodeFailed.
void decodeInto(std::span<const std::uint8_t> data, std::span<std::uint8_t> destination);

}  // namespace kelvane::engine::LZFSE
