// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The LZFSE encoder as it was before its deeper parse (lazy matching, chains
// followed 8 links deep), kept only so that bench/codec_bench can measure the
// current encoder beside it in the same run. Not product code.
namespace kelvane::codec::previous {

std::size_t lzfseEncode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst);

}  // namespace kelvane::codec::previous
