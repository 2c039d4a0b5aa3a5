#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvane::platform {

// Buffer-to-buffer LZFSE, with the semantics of the platform's compression
// library that the engine was written against:
//  - encode returns the size of the stream written to `dst`, or 0 when it
//    does not fit (or the input is empty);
//  - decode returns the number of bytes written to `dst`; decoding stops when
//    `dst` is full, so a caller that knows the exact size passes a destination
//    of exactly that size and checks the count. A malformed stream gives 0.
std::size_t compressionEncodeBuffer(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);
std::size_t compressionDecodeBuffer(std::span<std::uint8_t> dst, std::span<const std::uint8_t> src);

}  // namespace kelvane::platform
