// SPDX-License-Identifier: MIT
#pragma once

#include "codec/DecodeResult.h"

#include <cstdint>
#include <span>

namespace kelvane::codec {

// Decodes a bare LZVN payload (the body of a `bvxn` block, or a decmpfs LZVN
// chunk). The payload must end exactly with the eight-byte end instruction:
// the opcode 0x06 and seven bytes whose values do not matter. An end cut
// short, bytes after it, or no end at all is `malformed`.
//
// `history` bytes already in `dst` before `dst.data() + prefix` may be
// referenced by matches: `prefix` is how many bytes of `dst` are already
// produced (earlier blocks of the same stream); decoding writes from there.
// The result's `written` counts the bytes this call produced, not the prefix.
// Bytes of `dst` past the ones produced may have been overwritten.
//
// Hostile input: never writes outside `dst`, never reads outside `src`, never
// allocates, always terminates.
DecodeResult lzvnDecode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst,
                        std::size_t prefix = 0);

}  // namespace kelvane::codec
