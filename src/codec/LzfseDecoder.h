// SPDX-License-Identifier: MIT
#pragma once

#include "codec/DecodeResult.h"

#include <cstdint>
#include <span>

namespace kelvane::codec {

// Decodes one LZFSE stream: any run of `bvx-`, `bvxn`, `bvx1` and `bvx2`
// blocks ended by `bvx$`. Matches may reach back into earlier blocks.
// Bytes after `bvx$` are ignored.
//
// Hostile input: never writes outside `dst`, never reads outside `src`, never
// allocates, always terminates. An invalid or truncated stream yields
// `malformed`; a stream that would produce more than `dst.size()` bytes stops
// with `destinationFull` and `dst` completely filled.
// Bytes of `dst` past the returned count may have been overwritten.
DecodeResult lzfseDecode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst);

}  // namespace kelvane::codec
