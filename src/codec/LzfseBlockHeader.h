// SPDX-License-Identifier: MIT
#pragma once

#include "codec/Fse.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelvane::codec {

// Block magics, as little-endian 32-bit words.
inline constexpr std::uint32_t kMagicEndOfStream = 0x24787662;  // "bvx$"
inline constexpr std::uint32_t kMagicRaw = 0x2d787662;          // "bvx-"
inline constexpr std::uint32_t kMagicLzvn = 0x6e787662;         // "bvxn"
inline constexpr std::uint32_t kMagicLzfseV1 = 0x31787662;      // "bvx1"
inline constexpr std::uint32_t kMagicLzfseV2 = 0x32787662;      // "bvx2"

// What one LZFSE block may hold: decoders buffer a block's literals.
inline constexpr std::uint32_t kLzfseMaxMatchesPerBlock = 10000;
inline constexpr std::uint32_t kLzfseMaxLiteralsPerBlock = 4 * kLzfseMaxMatchesPerBlock;

// L, M and D values are coded as a symbol plus extra bits read after it:
// value = base[symbol] + extra. The largest values are 315, 2359, 262139.
inline constexpr std::array<std::uint8_t, kFseLSymbols> kLzfseLExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 5, 8};
inline constexpr std::array<std::uint32_t, kFseLSymbols> kLzfseLBaseValues = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 20, 28, 60};
inline constexpr std::array<std::uint8_t, kFseMSymbols> kLzfseMExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 5, 8, 11};
inline constexpr std::array<std::uint32_t, kFseMSymbols> kLzfseMBaseValues = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 24, 56, 312};
inline constexpr std::array<std::uint8_t, kFseDSymbols> kLzfseDExtraBits = {
    0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5,
    6, 6, 6, 6, 7, 7, 7, 7, 8, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 11, 11, 11, 11,
    12, 12, 12, 12, 13, 13, 13, 13, 14, 14, 14, 14, 15, 15, 15, 15};
inline constexpr std::array<std::uint32_t, kFseDSymbols> kLzfseDBaseValues = {
    0, 1, 2, 3, 4, 6, 8, 10, 12, 16, 20, 24, 28, 36, 44, 52,
    60, 76, 92, 108, 124, 156, 188, 220, 252, 316, 380, 444, 508, 636, 764, 892,
    1020, 1276, 1532, 1788, 2044, 2556, 3068, 3580, 4092, 5116, 6140, 7164, 8188, 10236, 12284, 14332,
    16380, 20476, 24572, 28668, 32764, 40956, 49148, 57340, 65532, 81916, 98300, 114684, 131068, 163836,
    196604, 229372};

inline constexpr std::uint32_t kLzfseMaxL = 315;
inline constexpr std::uint32_t kLzfseMaxM = 2359;
inline constexpr std::uint32_t kLzfseMaxD = 262139;

// The header of a `bvx1` or `bvx2` block, in one form. Block layout after the
// header: the literal payload, then the L/M/D payload.
//
// - `rawBytes`: decoded size the block announces (informative only; decoders
//   go by the triples).
// - `literalCount`: literals in the literal payload, a multiple of 4 (padding
//   literals at the end are decoded but never used). At most 40,000.
// - `matchCount`: L/M/D triples in the L/M/D payload. At most 10,000. Each
//   triple copies L literals, then M bytes from D bytes back (D = 0: the
//   previous triple's distance); trailing literals go in a triple with M = 0.
// - `literalPayloadBytes`, `lmdPayloadBytes`: the two payloads' sizes (each
//   below 2^20 in the v2 form).
// - `literalFinalBits`, `lmdFinalBits`: 0 when the payload's last byte is
//   fully used, else minus the number of unused (zero) high bits in it: -7..0.
// - `literalStates`: start states of the four interleaved literal decoders
//   (literal i uses decoder i % 4), each below 1024.
// - `lState`, `mState`, `dState`: start states of the L/M/D decoders, below
//   64, 64 and 256.
// - the four frequency tables: sums at most 64, 64, 256 and 1024.
//
// Both payloads are FSE bit streams written forwards, read backwards from
// their end (BackwardBitReader). The literal stream yields literals in order,
// four per step; the L/M/D stream yields per triple L, then M, then D, each
// as one pull of state bits (high) and extra value bits (low).
struct LzfseBlockHeader {
    std::uint32_t rawBytes = 0;
    std::uint32_t literalCount = 0;
    std::uint32_t matchCount = 0;
    std::uint32_t literalPayloadBytes = 0;
    std::uint32_t lmdPayloadBytes = 0;
    std::int32_t literalFinalBits = 0;
    std::int32_t lmdFinalBits = 0;
    std::array<std::uint16_t, 4> literalStates{};
    std::uint16_t lState = 0;
    std::uint16_t mState = 0;
    std::uint16_t dState = 0;
    std::array<std::uint16_t, kFseLSymbols> lFreq{};
    std::array<std::uint16_t, kFseMSymbols> mFreq{};
    std::array<std::uint16_t, kFseDSymbols> dFreq{};
    std::array<std::uint16_t, kFseLiteralSymbols> literalFreq{};

    bool operator==(const LzfseBlockHeader&) const = default;

    // Every limit above holds (the v2 field widths included).
    bool isValid() const;

    // Size of the v2 form: 32 fixed bytes plus the frequency code.
    std::size_t v2Size() const;
};

// Size of the fixed `bvx1` header (plain 16-bit frequencies).
inline constexpr std::size_t kLzfseV1HeaderBytes = 772;

struct ParsedLzfseBlockHeader {
    LzfseBlockHeader header;
    std::size_t headerBytes = 0;  // payloads start here, counted from the magic
};

// Parse a header from `block`, which starts at the block's magic and runs to
// the end of the available input. Empty when the header is malformed, breaks
// a limit, or the header with both payloads does not fit `block`.
std::optional<ParsedLzfseBlockHeader> parseLzfseBlockHeaderV1(std::span<const std::uint8_t> block);
std::optional<ParsedLzfseBlockHeader> parseLzfseBlockHeaderV2(std::span<const std::uint8_t> block);

// Writes the v2 form, magic included, to the start of `dst`. Returns the bytes
// written (v2Size()), or 0 when the header is not valid or does not fit.
std::size_t writeLzfseBlockHeaderV2(const LzfseBlockHeader& header, std::span<std::uint8_t> dst);

}  // namespace kelvane::codec
