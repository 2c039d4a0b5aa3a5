// SPDX-License-Identifier: MIT
#pragma once

// Streams put together byte by byte, for the decoder's rules on blocks no
// encoder of ours writes.

#include "codec/LzfseBlockHeader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::codec::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

inline Bytes le32(std::uint32_t v)
{
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

inline const Bytes kEndOfStream = bytesOf("bvx$");

// The LZVN end instruction as encoders write it.
inline const Bytes kLzvnEnd = {0x06, 0, 0, 0, 0, 0, 0, 0};

// LZVN instructions for `count` copies of `byte`: one literal, then matches
// at distance 1. No end instruction.
inline Bytes lzvnRun(std::uint8_t byte, std::size_t count)
{
    if (count < 4) {
        Bytes literals{static_cast<std::uint8_t>(0xE0 | count)};
        literals.insert(literals.end(), count, byte);
        return count == 0 ? Bytes{} : literals;
    }
    std::size_t left = count - 1;
    const std::size_t first = std::min<std::size_t>(left, 10);
    // 3..10 bytes from distance 1, which the later matches repeat.
    Bytes out{0xE1, byte, static_cast<std::uint8_t>((first - 3) << 3), 0x01};
    left -= first;
    while (left >= 16) {
        const std::size_t m = std::min<std::size_t>(left, 271);
        out.push_back(0xF0);
        out.push_back(static_cast<std::uint8_t>(m - 16));
        left -= m;
    }
    if (left != 0)
        out.push_back(static_cast<std::uint8_t>(0xF0 | left));
    return out;
}

// A `bvxn` block announcing `declared` bytes.
inline Bytes lzvnBlock(std::uint32_t declared, const Bytes& payload)
{
    return bytesOf("bvxn") + le32(declared) + le32(static_cast<std::uint32_t>(payload.size())) + payload;
}

inline Bytes rawBlock(const std::string& text)
{
    return bytesOf("bvx-") + le32(static_cast<std::uint32_t>(text.size())) + bytesOf(text);
}

// A `bvx2` block whose tables each hold one symbol: every literal is
// `literal`, and every triple decodes to the base values of the L, M and D
// symbols plus their extra bits, which are all the L/M/D stream holds.
struct UniformBlock {
    std::uint8_t literal = 'a';
    std::uint32_t literalCount = 0;
    std::uint32_t matchCount = 0;
    int lSymbol = 0;
    int mSymbol = 0;
    int dSymbol = 0;
    // The literals take no bits: what their payload holds is never used.
    Bytes literalPayload;
    // Zeros as encoders begin it: room for the first load.
    Bytes lmdPayload = Bytes(8, 0);
    std::int32_t lmdFinalBits = 0;

    Bytes bytes() const
    {
        LzfseBlockHeader h;
        h.literalCount = literalCount;
        h.matchCount = matchCount;
        h.literalFreq[literal] = kFseLiteralStates;
        h.lFreq[static_cast<std::size_t>(lSymbol)] = kFseLStates;
        h.mFreq[static_cast<std::size_t>(mSymbol)] = kFseMStates;
        h.dFreq[static_cast<std::size_t>(dSymbol)] = kFseDStates;
        h.literalPayloadBytes = static_cast<std::uint32_t>(literalPayload.size());
        h.lmdPayloadBytes = static_cast<std::uint32_t>(lmdPayload.size());
        h.lmdFinalBits = lmdFinalBits;
        Bytes block(h.v2Size(), 0);
        EXPECT_EQ(writeLzfseBlockHeaderV2(h, block), h.v2Size());
        return block + literalPayload + lmdPayload;
    }
};

}  // namespace kelvane::codec::test
