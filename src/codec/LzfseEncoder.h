// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvane::codec {

// Encodes `src` as one complete LZFSE stream (ended by `bvx$`) into `dst`.
// Returns the stream's size, or 0 when it does not fit `dst` (nothing useful
// is left in `dst` then). Deterministic: the same input gives the same bytes,
// whatever room `dst` gives, so a caller that only keeps streams up to some
// length passes a `dst` of that length, and the encoder gives up as soon as
// its output passes it.
//
// Block choice: under 8 bytes a raw block; up to 4095 bytes an LZVN block when
// it is smaller than the input, else raw; from 4096 bytes `bvx2` blocks, with
// a raw block when compression does not fit.
std::size_t lzfseEncode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst);

// Worst-case stream size for `n` input bytes, whatever the room given: the
// raw block with its end marker (n + 12), except from 8 to 4095 bytes, where
// an LZVN block is kept whenever its payload is smaller than the input,
// however little: with its 12-byte header and the end marker that is up to
// n + 15 (a 65-byte input can give a 79-byte stream). With less room than
// that the encoder falls back to the raw block, so n + 12 always suffices.
constexpr std::size_t lzfseEncodeBound(std::size_t n) { return n >= 8 && n < 4096 ? n + 15 : n + 12; }

}  // namespace kelvane::codec
