// SPDX-License-Identifier: MIT
#include "codec/LzvnDecoder.h"

#include "codec/MatchCopy.h"

#include <array>

namespace kelvane::codec {
namespace {

// Instruction kinds by first byte. Letters: L literal count, M match length,
// D distance; literals follow the instruction, then the match is copied.
enum class Op : std::uint8_t {
    smallDistance,   // LLMMMDDD DDDDDDDD: L 0..3, M 3..10, D 11 bits
    mediumDistance,  // 101LLMMM DDDDDDMM DDDDDDDD: L 0..3, M 3..130, D 14 bits
    largeDistance,   // LLMMM111 DDDDDDDD DDDDDDDD: L 0..3, M 3..10, D 16 bits
    sameDistance,    // LLMMM110: L 1..3, M 3..10, previous D
    smallMatch,      // 1111MMMM: M 1..15, previous D
    largeMatch,      // 11110000 MMMMMMMM: M 16..271, previous D
    smallLiteral,    // 1110LLLL: L 1..15
    largeLiteral,    // 11100000 LLLLLLLL: L 16..271
    nop,             // 0x0E, 0x16
    end,             // 0x06
    invalid,
};

constexpr std::array<Op, 256> makeOpTable()
{
    std::array<Op, 256> t{};
    for (int b = 0; b < 256; ++b) {
        Op op;
        if (b >= 0xF0)
            op = b == 0xF0 ? Op::largeMatch : Op::smallMatch;
        else if (b >= 0xE0)
            op = b == 0xE0 ? Op::largeLiteral : Op::smallLiteral;
        else if ((b >= 0x70 && b < 0x80) || (b >= 0xD0 && b < 0xE0))
            op = Op::invalid;
        else if (b >= 0xA0 && b < 0xC0)
            op = Op::mediumDistance;
        else if ((b & 7) == 7)
            op = Op::largeDistance;
        else if ((b & 7) != 6)
            op = Op::smallDistance;
        else if (b >= 0x40)
            op = Op::sameDistance;
        else if (b == 0x06)
            op = Op::end;
        else if (b == 0x0E || b == 0x16)
            op = Op::nop;
        else
            op = Op::invalid;  // a match right after a match at the same distance
        t[static_cast<std::size_t>(b)] = op;
    }
    return t;
}

constexpr std::array<Op, 256> kOps = makeOpTable();

// The end instruction is eight bytes long; the seven after the opcode are
// not looked at (encoders write zeros).
constexpr std::size_t kEndInstructionBytes = 8;

}  // namespace

DecodeResult lzvnDecode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst, std::size_t prefix)
{
    if (prefix > dst.size())
        return {DecodeStatus::malformed, 0};
    const std::uint8_t* in = src.data();
    const std::uint8_t* const inEnd = in + src.size();
    std::uint8_t* const begin = dst.data();
    std::uint8_t* const start = begin + prefix;
    std::uint8_t* out = start;
    std::uint8_t* const outEnd = begin + dst.size();
    std::size_t distance = 0;
    const auto result = [&](DecodeStatus status) { return DecodeResult{status, static_cast<std::size_t>(out - start)}; };

    for (;;) {
        if (in == inEnd)
            return result(DecodeStatus::malformed);
        const std::uint32_t b0 = in[0];
        const std::size_t avail = static_cast<std::size_t>(inEnd - in);
        std::size_t length = 1;  // instruction bytes before the literals
        std::size_t literals = 0;
        std::size_t match = 0;
        switch (kOps[b0]) {
        case Op::smallDistance:
            if (avail < 2) return result(DecodeStatus::malformed);
            length = 2;
            literals = b0 >> 6;
            match = ((b0 >> 3) & 7) + 3;
            distance = (b0 & 7) << 8 | in[1];
            break;
        case Op::mediumDistance: {
            if (avail < 3) return result(DecodeStatus::malformed);
            length = 3;
            const std::uint32_t w = in[1] | std::uint32_t{in[2]} << 8;
            literals = (b0 >> 3) & 3;
            match = ((b0 & 7) << 2 | (w & 3)) + 3;
            distance = w >> 2;
            break;
        }
        case Op::largeDistance:
            if (avail < 3) return result(DecodeStatus::malformed);
            length = 3;
            literals = b0 >> 6;
            match = ((b0 >> 3) & 7) + 3;
            distance = in[1] | std::size_t{in[2]} << 8;
            break;
        case Op::sameDistance:
            literals = b0 >> 6;
            match = ((b0 >> 3) & 7) + 3;
            break;
        case Op::smallMatch:
            match = b0 & 15;
            break;
        case Op::largeMatch:
            if (avail < 2) return result(DecodeStatus::malformed);
            length = 2;
            match = in[1] + 16u;
            break;
        case Op::smallLiteral:
            literals = b0 & 15;
            break;
        case Op::largeLiteral:
            if (avail < 2) return result(DecodeStatus::malformed);
            length = 2;
            literals = in[1] + 16u;
            break;
        case Op::nop:
            ++in;
            continue;
        case Op::end:
            // Whole, and closing the payload.
            return result(avail == kEndInstructionBytes ? DecodeStatus::ok : DecodeStatus::malformed);
        case Op::invalid:
            return result(DecodeStatus::malformed);
        }

        if (avail - length < literals) return result(DecodeStatus::malformed);
        const std::uint8_t* lit = in + length;
        in = lit + literals;
        const std::size_t produced = static_cast<std::size_t>(out - begin) + literals;
        if (match != 0 && (distance == 0 || distance > produced)) return result(DecodeStatus::malformed);

        const std::size_t room = static_cast<std::size_t>(outEnd - out);
        if (room >= literals + match + kCopySlack && static_cast<std::size_t>(inEnd - in) >= kCopySlack) {
            copyLiteralsFast(out, lit, literals);
            out += literals;
            copyMatchFast(out, distance, match);
            out += match;
            continue;
        }
        // Near either end: exact copies, stopping when the destination is full.
        if (room < literals) {
            copyBytes(out, lit, room);
            out += room;
            return result(DecodeStatus::destinationFull);
        }
        copyBytes(out, lit, literals);
        out += literals;
        if (room - literals < match) {
            copyMatchExact(out, distance, room - literals);
            out += room - literals;
            return result(DecodeStatus::destinationFull);
        }
        copyMatchExact(out, distance, match);
        out += match;
    }
}

}  // namespace kelvane::codec
