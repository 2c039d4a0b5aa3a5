// SPDX-License-Identifier: MIT
#include "codec/LzvnEncoder.h"

#include "codec/MatchFinder.h"

#include <algorithm>
#include <cstring>

namespace kelvane::codec {

namespace {

// Opcode limits of the format.
constexpr std::uint32_t kMaxDistance = 65535;
constexpr std::uint32_t kSmallDistanceLimit = 0x600;  // sml_d keeps 3 distance bits below 6
constexpr std::uint32_t kMediumDistanceLimit = 0x4000;
constexpr std::uint32_t kMaxMediumMatch = 34;
constexpr std::uint32_t kMaxSmallLiteral = 15;
constexpr std::uint32_t kMaxLargeLiteral = 271;
constexpr std::uint32_t kMaxSmallMatch = 15;
constexpr std::uint32_t kMaxLargeMatch = 271;
constexpr std::size_t kEndMarkSize = 8;

// Longest match the one-byte-length opcodes carry with `literals` (0..3)
// literals attached: the other opcodes own the remaining bit patterns.
constexpr std::uint32_t kMaxShortMatch[4] = {10, 8, 6, 4};

class OpWriter {
public:
    explicit OpWriter(std::span<std::uint8_t> dst) : pos_(dst.data()), end_(dst.data() + dst.size()), begin_(dst.data()) {}

    bool ok() const { return ok_; }
    std::size_t size() const { return static_cast<std::size_t>(pos_ - begin_); }

    void bytes(const std::uint8_t* p, std::size_t n)
    {
        if (!room(n))
            return;
        std::memcpy(pos_, p, n);
        pos_ += n;
    }

    void byte(std::uint32_t b)
    {
        if (!room(1))
            return;
        *pos_++ = static_cast<std::uint8_t>(b);
    }

    void literals(const std::uint8_t* p, std::uint32_t count)
    {
        while (count > kMaxSmallLiteral) {
            const std::uint32_t n = std::min(count, kMaxLargeLiteral);
            byte(0xE0);
            byte(n - 16);
            bytes(p, n);
            p += n;
            count -= n;
        }
        if (count != 0) {
            byte(0xE0 | count);
            bytes(p, count);
        }
    }

    // Continues a match at the distance just used.
    void repeatMatch(std::uint32_t length)
    {
        while (length > kMaxSmallMatch) {
            const std::uint32_t n = std::min(length, kMaxLargeMatch);
            byte(0xF0);
            byte(n - 16);
            length -= n;
        }
        if (length != 0)
            byte(0xF0 | length);
    }

private:
    bool room(std::size_t n)
    {
        if (!ok_ || static_cast<std::size_t>(end_ - pos_) < n) {
            ok_ = false;
            return false;
        }
        return true;
    }

    std::uint8_t* pos_;
    std::uint8_t* end_;
    std::uint8_t* begin_;
    bool ok_ = true;
};

// One sequence: its literals, then a match opcode carrying up to three of
// them, then plain repeat opcodes for whatever length the first one lacks.
void writeSequence(OpWriter& out, const std::uint8_t* lit, const LzSequence& seq, std::uint32_t& previous)
{
    std::uint32_t attached = std::min<std::uint32_t>(seq.literalCount, 3);
    out.literals(lit, seq.literalCount - attached);
    lit += seq.literalCount - attached;
    const std::uint32_t distance = seq.distance;
    std::uint32_t length = seq.matchLength;

    if (distance == previous && attached == 0) {
        out.repeatMatch(length);
        return;
    }
    if (distance == previous) {
        const std::uint32_t first = std::min(length, kMaxShortMatch[attached]);
        out.byte(attached << 6 | (first - 3) << 3 | 6);
        out.bytes(lit, attached);
        out.repeatMatch(length - first);
        return;
    }
    if (distance < kSmallDistanceLimit && length <= kMaxShortMatch[attached]) {
        out.byte(attached << 6 | (length - 3) << 3 | distance >> 8);
        out.byte(distance & 0xFF);
        out.bytes(lit, attached);
    } else if (distance < kMediumDistanceLimit) {
        const std::uint32_t first = std::min(length, kMaxMediumMatch);
        const std::uint32_t packed = distance << 2 | ((first - 3) & 3);
        out.byte(0xA0 | attached << 3 | (first - 3) >> 2);
        out.byte(packed & 0xFF);
        out.byte(packed >> 8);
        out.bytes(lit, attached);
        length -= first;
        out.repeatMatch(length);
    } else {
        const std::uint32_t first = std::min(length, kMaxShortMatch[attached]);
        out.byte(attached << 6 | (first - 3) << 3 | 7);
        out.byte(distance & 0xFF);
        out.byte(distance >> 8);
        out.bytes(lit, attached);
        length -= first;
        out.repeatMatch(length);
    }
    previous = distance;
}

MatchFinder::Options finderOptions()
{
    MatchFinder::Options o;
    o.maxDistance = kMaxDistance;
    o.searchDepth = 32;
    o.niceLength = 256;
    // Bytes are the unit here: a literal costs a byte, a short match two or
    // three, so three-byte matches pay.
    o.minMatch = 3;
    o.costs.literal = 8 * 16 + 2;
    o.costs.match = 6 * 16;
    o.costs.repeatMatch = 8 * 16;
    o.costs.perDistanceBit = 16;
    return o;
}

}  // namespace

std::size_t lzvnEncode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst)
{
    // Kept per thread, as the LZFSE encoder's: most inputs here are small,
    // and a finder made afresh cost more than their parse.
    static thread_local MatchFinder finder(finderOptions());
    static thread_local LzParse parse;
    OpWriter out(dst);
    std::uint32_t previous = 0;
    // Matches never cross a parse segment; segments keep positions in 32 bits.
    constexpr std::size_t kSegment = std::size_t{1} << 30;
    for (std::size_t at = 0; at < src.size(); at += kSegment) {
        const auto segment = src.subspan(at, std::min(kSegment, src.size() - at));
        finder.parse(segment, parse);
        const std::uint8_t* p = segment.data();
        for (const LzSequence& seq : parse.sequences) {
            writeSequence(out, p, seq, previous);
            p += seq.literalCount + seq.matchLength;
            if (!out.ok())
                return 0;
        }
        out.literals(p, parse.trailingLiterals);
    }
    static constexpr std::uint8_t kEnd[kEndMarkSize] = {0x06, 0, 0, 0, 0, 0, 0, 0};
    out.bytes(kEnd, kEndMarkSize);
    return out.ok() ? out.size() : 0;
}

}  // namespace kelvane::codec
