// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace kelvane::codec {

// Outcome of one decoder call. The three cases are kept apart so that callers
// which know the exact decoded size can insist on `ok` with a full destination.
enum class DecodeStatus {
    ok,               // the stream ended properly; `written` bytes were produced
    destinationFull,  // the destination filled up before the stream ended
    malformed,        // the stream is invalid or cut short
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::malformed;
    std::size_t written = 0;  // bytes stored in the destination (valid up to here)

    bool operator==(const DecodeResult&) const = default;
};

}  // namespace kelvane::codec
