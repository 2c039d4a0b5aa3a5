// SPDX-License-Identifier: MIT
#pragma once

#include "engine/LZFSEError.h"
#include "platform/CompressionRoads.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kelvane::engine::PayloadCodec {

// The engine's calls into a codec of the table (CompressionRoads.h), the one
// place where a codec's outcome becomes a typed failure. Its failures are
// LZFSEError's cases: the engine writes and proves one coding, LZFSE.
using decmpfs::Codec;

// Largest decoded size a caller may ask for; larger sizes come from damaged
// or hostile headers and are refused before anything is allocated.
inline constexpr std::uint64_t maxDecodedSize = decmpfs::maxLogicalSize;

// The stream of `data` written into `destination` (nothing of it needs to be
// initialised; only codec.encodeBound(data.size()) bytes of it are offered to
// the encoder); returns the stream's length (0 for empty input). Throws
// LZFSEError::encodeFailed, also for a codec that has no encoder.
std::size_t encodeInto(const Codec& codec, std::span<const std::uint8_t> data, std::span<std::uint8_t> destination);

// The same stream when it is at most `budget` bytes long, else nothing: the
// codec gives up as soon as its output passes the budget (a stream does not
// depend on the room its encoder is given). Throws as encodeInto.
std::optional<std::size_t> encodeWithin(const Codec& codec, std::span<const std::uint8_t> data,
                                        std::span<std::uint8_t> destination, std::size_t budget);

// Bytes handed to encoders on this thread so far: what a caller's choice of
// roads and budgets cost the codec, as a count the tests can compare.
std::uint64_t bytesEncodedOnThisThread();

// The same into a new buffer (empty for empty input). The result may be
// longer than the input; callers decide whether it is worth keeping.
std::vector<std::uint8_t> encode(const Codec& codec, std::span<const std::uint8_t> data);

// Decodes into exactly `destination.size()` bytes. Only the count is
// checked: a stream that would decode further yields its first bytes. Throws
// LZFSEError::decodeFailed with the destination's size and the count decoded,
// 0 for a malformed stream (what the compression library reports then).
void decodeInto(const Codec& codec, std::span<const std::uint8_t> data, std::span<std::uint8_t> destination);

// Exactly `expectedSize` decoded bytes, sizes above maxDecodedSize refused
// with decodeFailed.
std::vector<std::uint8_t> decode(const Codec& codec, std::span<const std::uint8_t> data, std::uint64_t expectedSize);

// The typed failure of one decode into a destination of `expectedBytes`; none
// when it filled the destination.
std::optional<LZFSEError> decodeFailure(const decmpfs::DecodeResult& result, std::size_t expectedBytes);

}  // namespace kelvane::engine::PayloadCodec
