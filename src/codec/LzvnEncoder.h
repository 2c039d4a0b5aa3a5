// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvane::codec {

// Encodes `src` as a bare LZVN payload ending with the end opcode and seven
// zero bytes. Returns the payload size, or 0 when it does not fit `dst`.
std::size_t lzvnEncode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst);

}  // namespace kelvane::codec
