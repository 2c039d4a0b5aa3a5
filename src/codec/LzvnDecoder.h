// SPDX-License-Identifier: MIT
#pragma once

#include "codec/DecodeResult.h"

#include <cstdint>
#include <span>

namespace kelvane::codec {

// Decodes a bare LZVN payload (the body of a `bvxn` block, or a decmpfs LZVN
// chunk). The payload must end exactly with the end opcode (0x06 followed by
// seven zero bytes are tolerated as part of the payload as the common encoder
// writes them; the opcode itself marks the end). Anything else after the end
// opcode, or no end opcode, is `malformed`.
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
