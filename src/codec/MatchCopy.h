#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelvane::codec {

// Wide copies write whole 16-byte chunks: the fast routines below may write
// up to kCopySlack bytes past the end of the copy (and the literal copy may
// read as far past its source). Callers use them only with that much room.
inline constexpr std::size_t kCopySlack = 16;

inline void copyBytes(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    if (n != 0)
        std::memcpy(dst, src, n);
}

inline void copyLiteralsFast(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    std::uint8_t* const end = dst + n;
    do {
        std::memcpy(dst, src, 16);
        dst += 16;
        src += 16;
    } while (dst < end);
}

// Copies n bytes from `distance` bytes back (distance >= 1, the source may
// overlap the destination: a run repeats its pattern).
inline void copyMatchFast(std::uint8_t* dst, std::size_t distance, std::size_t n)
{
    if (n == 0)
        return;
    const std::uint8_t* from = dst - distance;
    std::uint8_t* const end = dst + n;
    if (distance < 16) {
        // Copy the pattern in growing pieces until a 16-byte chunk no longer
        // overlaps its source: after each piece the distance back to `from` is
        // a multiple of the pattern length, so `from` stays the source.
        std::size_t piece = distance;
        while (piece < 16) {
            std::memcpy(dst, from, piece);
            dst += piece;
            if (dst >= end)
                return;
            piece = static_cast<std::size_t>(dst - from);
        }
    }
    do {
        std::memcpy(dst, from, 16);
        dst += 16;
        from += 16;
    } while (dst < end);
}

// As copyMatchFast, but writes exactly n bytes.
inline void copyMatchExact(std::uint8_t* dst, std::size_t distance, std::size_t n)
{
    const std::uint8_t* const from = dst - distance;
    std::size_t done = 0;
    if (n > kCopySlack) {
        done = n - kCopySlack;
        copyMatchFast(dst, distance, done);
    }
    for (; done < n; ++done)
        dst[done] = from[done];
}

}  // namespace kelvane::codec
