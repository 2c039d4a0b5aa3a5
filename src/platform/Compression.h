// SPDX-License-Identifier: MIT
#pragma once

#include "codec/DecodeResult.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvane::platform {

// The outcome of a decode, as the codec reports it: the three states stay
// apart up to the caller that turns a failure into its typed error.
using codec::DecodeResult;
using codec::DecodeStatus;

// Buffer-to-buffer LZFSE, with the semantics of the platform's compression
// library that the engine was written against:
//  - encode returns the size of the stream written to `dst`, or 0 when it
//    does not fit (or the input is empty);
//  - decode stops when `dst` is full (`destinationFull`, `dst` filled), so a
//    caller that knows the exact size passes a destination of exactly that
//    size and checks the count; a malformed or cut stream is `malformed`.
std::size_t compressionEncodeBuffer(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);
DecodeResult compressionDecodeBuffer(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);

}  // namespace kelvane::platform
