// SPDX-License-Identifier: MIT
#include "codec/LzfseBlockHeader.h"

#include "codec/LittleEndian.h"

namespace kelvane::codec {
namespace {

constexpr std::size_t kV2FixedBytes = 32;
constexpr std::uint32_t kField20 = (1u << 20) - 1;
constexpr int kFrequencyCount = kFseLSymbols + kFseMSymbols + kFseDSymbols + kFseLiteralSymbols;

// The frequencies in header order: L, M, D, literals.
template <typename Header, typename Fn>
void forEachFrequency(Header& h, Fn fn)
{
    for (auto& f : h.lFreq) fn(f);
    for (auto& f : h.mFreq) fn(f);
    for (auto& f : h.dFreq) fn(f);
    for (auto& f : h.literalFreq) fn(f);
}

// Frequencies are written with a fixed prefix code, least significant bit
// first: 0 -> "00", 1 -> "10", 2 -> "001", 3 -> "101", 4..7 in 5 bits ending
// "011", 8..23 in 8 bits ending "0111", 24..1047 in 14 bits ending "1111".
struct FrequencyCode {
    std::uint32_t bits;
    int length;
};

constexpr FrequencyCode encodeSmallFrequency(std::uint32_t f)
{
    if (f == 0) return {0, 2};
    if (f == 1) return {2, 2};
    if (f == 2) return {1, 3};
    if (f == 3) return {5, 3};
    if (f < 8) return {((f - 4) << 3) | 3, 5};
    return {((f - 8) << 4) | 7, 8};
}

constexpr std::array<FrequencyCode, 24> kSmallFrequencyCodes = [] {
    std::array<FrequencyCode, 24> table{};
    for (std::uint32_t f = 0; f < 24; ++f)
        table[f] = encodeSmallFrequency(f);
    return table;
}();

// By table below 24 and by formula above, chosen without a branch: the
// tests this replaces mispredicted 0.6M times in encoding the corpus chunks.
FrequencyCode encodeFrequency(std::uint32_t f)
{
    const FrequencyCode small = kSmallFrequencyCodes[f < 24 ? f : 0];
    const FrequencyCode large{((f - 24) << 4) | 15, 14};
    return f < 24 ? small : large;
}

// Decoding by the code's low five bits: its length and value, and for the
// 8- and 14-bit codes where the rest of the value lies. One lookup instead of
// a switch per frequency: the 360 of a block mispredicted often enough to
// make header parsing 2% of decode time.
struct FrequencyDecodeEntry {
    std::uint16_t base;
    std::uint16_t mask;  // of the value bits from bit 4 on
    std::uint8_t length;
};

constexpr std::array<FrequencyDecodeEntry, 32> kFrequencyDecode = [] {
    std::array<FrequencyDecodeEntry, 32> table{};
    for (std::uint32_t low = 0; low < 32; ++low) {
        FrequencyDecodeEntry& e = table[low];
        switch (low & 7) {
        case 1: e = {2, 0, 3}; break;
        case 5: e = {3, 0, 3}; break;
        case 3: e = {static_cast<std::uint16_t>(4 + ((low >> 3) & 3)), 0, 5}; break;
        case 7: e = (low & 15) == 7 ? FrequencyDecodeEntry{8, 15, 8} : FrequencyDecodeEntry{24, 1023, 14}; break;
        default: e = {static_cast<std::uint16_t>((low >> 1) & 1), 0, 2}; break;  // "x0": the second bit is the value
        }
    }
    return table;
}();

// Decodes one code from the low bits of `bits`.
FrequencyCode decodeFrequency(std::uint64_t bits)
{
    const FrequencyDecodeEntry e = kFrequencyDecode[bits & 31];
    return {e.base + (static_cast<std::uint32_t>(bits >> 4) & e.mask), e.length};
}

template <std::size_t N>
std::uint32_t sum(const std::array<std::uint16_t, N>& freq)
{
    std::uint32_t total = 0;
    for (auto f : freq)
        total += f;
    return total;
}

bool fitsBlock(const ParsedLzfseBlockHeader& parsed, std::size_t available)
{
    const std::uint64_t total = std::uint64_t{parsed.headerBytes} + parsed.header.literalPayloadBytes +
                                parsed.header.lmdPayloadBytes;
    return total <= available;
}

}  // namespace

bool LzfseBlockHeader::isValid() const
{
    if (literalCount > kLzfseMaxLiteralsPerBlock || matchCount > kLzfseMaxMatchesPerBlock)
        return false;
    if (literalPayloadBytes > kField20 || lmdPayloadBytes > kField20)
        return false;
    if (literalFinalBits < -7 || literalFinalBits > 0 || lmdFinalBits < -7 || lmdFinalBits > 0)
        return false;
    for (auto s : literalStates)
        if (s >= kFseLiteralStates)
            return false;
    if (lState >= kFseLStates || mState >= kFseMStates || dState >= kFseDStates)
        return false;
    // Every table fills its states exactly: a short table would leave states
    // that decode to nothing in particular (our encoder, like every encoder
    // we know of, never writes one).
    return sum(lFreq) == kFseLStates && sum(mFreq) == kFseMStates && sum(dFreq) == kFseDStates &&
           sum(literalFreq) == kFseLiteralStates;
}

std::size_t LzfseBlockHeader::v2Size() const
{
    std::size_t bits = 0;
    forEachFrequency(*this, [&](std::uint16_t f) { bits += static_cast<std::size_t>(encodeFrequency(f).length); });
    return kV2FixedBytes + (bits + 7) / 8;
}

std::optional<ParsedLzfseBlockHeader> parseLzfseBlockHeaderV1(std::span<const std::uint8_t> block)
{
    if (block.size() < kLzfseV1HeaderBytes || le::load32(block.data()) != kMagicLzfseV1)
        return std::nullopt;
    const std::uint8_t* p = block.data();
    ParsedLzfseBlockHeader parsed;
    parsed.headerBytes = kLzfseV1HeaderBytes;
    LzfseBlockHeader& h = parsed.header;
    h.rawBytes = le::load32(p + 4);
    const std::uint32_t payloadBytes = le::load32(p + 8);
    h.literalCount = le::load32(p + 12);
    h.matchCount = le::load32(p + 16);
    h.literalPayloadBytes = le::load32(p + 20);
    h.lmdPayloadBytes = le::load32(p + 24);
    h.literalFinalBits = static_cast<std::int32_t>(le::load32(p + 28));
    for (int i = 0; i < 4; ++i)
        h.literalStates[i] = le::load16(p + 32 + 2 * i);
    h.lmdFinalBits = static_cast<std::int32_t>(le::load32(p + 40));
    h.lState = le::load16(p + 44);
    h.mState = le::load16(p + 46);
    h.dState = le::load16(p + 48);
    const std::uint8_t* f = p + 50;
    forEachFrequency(h, [&](std::uint16_t& v) {
        v = le::load16(f);
        f += 2;
    });
    if (std::uint64_t{h.literalPayloadBytes} + h.lmdPayloadBytes != payloadBytes)
        return std::nullopt;
    if (!h.isValid() || !fitsBlock(parsed, block.size()))
        return std::nullopt;
    return parsed;
}

std::optional<ParsedLzfseBlockHeader> parseLzfseBlockHeaderV2(std::span<const std::uint8_t> block)
{
    if (block.size() < kV2FixedBytes || le::load32(block.data()) != kMagicLzfseV2)
        return std::nullopt;
    const std::uint8_t* p = block.data();
    ParsedLzfseBlockHeader parsed;
    LzfseBlockHeader& h = parsed.header;
    h.rawBytes = le::load32(p + 4);
    const std::uint64_t v0 = le::load64(p + 8);
    const std::uint64_t v1 = le::load64(p + 16);
    const std::uint64_t v2 = le::load64(p + 24);
    h.literalCount = static_cast<std::uint32_t>(v0 & kField20);
    h.literalPayloadBytes = static_cast<std::uint32_t>((v0 >> 20) & kField20);
    h.matchCount = static_cast<std::uint32_t>((v0 >> 40) & kField20);
    h.literalFinalBits = static_cast<std::int32_t>((v0 >> 60) & 7) - 7;
    for (int i = 0; i < 4; ++i)
        h.literalStates[i] = static_cast<std::uint16_t>((v1 >> (10 * i)) & 1023);
    h.lmdPayloadBytes = static_cast<std::uint32_t>((v1 >> 40) & kField20);
    h.lmdFinalBits = static_cast<std::int32_t>((v1 >> 60) & 7) - 7;
    parsed.headerBytes = static_cast<std::uint32_t>(v2);
    h.lState = static_cast<std::uint16_t>((v2 >> 32) & 1023);
    h.mState = static_cast<std::uint16_t>((v2 >> 42) & 1023);
    h.dState = static_cast<std::uint16_t>((v2 >> 52) & 1023);
    if (parsed.headerBytes < kV2FixedBytes || parsed.headerBytes > block.size())
        return std::nullopt;

    const std::uint8_t* in = p + kV2FixedBytes;
    const std::uint8_t* const inEnd = p + parsed.headerBytes;
    std::uint64_t accum = 0;
    int held = 0;
    bool ok = true;
    forEachFrequency(h, [&](std::uint16_t& v) {
        if (held < 14) {
            if (inEnd - in >= 8) {
                // Whole bytes while they fit; the bits loaded past them are
                // the same bytes the next load puts there again.
                const int bytes = (63 - held) >> 3;
                accum |= le::load64(in) << held;
                in += bytes;
                held += 8 * bytes;
            } else {
                for (; in < inEnd && held <= 56; ++in, held += 8)
                    accum |= std::uint64_t{*in} << held;
            }
        }
        const FrequencyCode code = decodeFrequency(accum);
        if (code.length > held) {
            ok = false;
            return;
        }
        v = static_cast<std::uint16_t>(code.bits);
        accum >>= code.length;
        held -= code.length;
    });
    // The code must end in the header's last byte.
    if (!ok || in != inEnd || held >= 8)
        return std::nullopt;
    if (!h.isValid() || !fitsBlock(parsed, block.size()))
        return std::nullopt;
    return parsed;
}

std::size_t writeLzfseBlockHeaderV2(const LzfseBlockHeader& h, std::span<std::uint8_t> dst)
{
    const std::size_t size = h.v2Size();
    if (!h.isValid() || dst.size() < size)
        return 0;
    std::uint8_t* p = dst.data();
    const auto finalBits = [](std::int32_t b) { return static_cast<std::uint64_t>(b + 7); };
    const std::uint64_t v0 = std::uint64_t{h.literalCount} | std::uint64_t{h.literalPayloadBytes} << 20 |
                             std::uint64_t{h.matchCount} << 40 | finalBits(h.literalFinalBits) << 60;
    std::uint64_t v1 = std::uint64_t{h.lmdPayloadBytes} << 40 | finalBits(h.lmdFinalBits) << 60;
    for (int i = 0; i < 4; ++i)
        v1 |= std::uint64_t{h.literalStates[i]} << (10 * i);
    const std::uint64_t v2 = std::uint64_t{size} | std::uint64_t{h.lState} << 32 | std::uint64_t{h.mState} << 42 |
                             std::uint64_t{h.dState} << 52;
    le::store32(p, kMagicLzfseV2);
    le::store32(p + 4, h.rawBytes);
    le::store64(p + 8, v0);
    le::store64(p + 16, v1);
    le::store64(p + 24, v2);

    std::uint8_t* out = p + kV2FixedBytes;
    std::uint64_t accum = 0;
    int held = 0;
    forEachFrequency(h, [&](std::uint16_t f) {
        const FrequencyCode code = encodeFrequency(f);
        accum |= std::uint64_t{code.bits} << held;
        held += code.length;
        for (; held >= 8; held -= 8, accum >>= 8)
            *out++ = static_cast<std::uint8_t>(accum);
    });
    if (held > 0)
        *out++ = static_cast<std::uint8_t>(accum);
    return size;
}

}  // namespace kelvane::codec
