// SPDX-License-Identifier: MIT
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace kelvane::codec {

inline std::uint64_t loadLe64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

// Reads an FSE bit stream backwards. The stream was written forwards, least
// significant bit first, in little-endian bytes; reading starts at its end
// and takes the most recently written bits first.
//
// Loads may dip below the stream's first byte (down to `floor`): a valid
// stream never uses those bits, and the stream may be shorter than one load.
class BackwardBitReader {
public:
    // `end` is one past the stream's last byte. `finalBits` is 0 when the last
    // byte is fully used, else minus the number of its unused high bits
    // (-7..-1), which must be zero. False when the stream cannot start there.
    bool init(const std::uint8_t* floor, const std::uint8_t* end, int finalBits)
    {
        floor_ = floor;
        if (finalBits < -7 || finalBits > 0 || end - floor < 8)
            return false;
        pos_ = end - 8;
        bits_ = loadLe64(pos_);
        if (finalBits == 0) {
            // 64 bits would overflow the holding count; keep the last seven bytes.
            bits_ >>= 8;
            count_ = 56;
            ++pos_;
            return true;
        }
        count_ = static_cast<unsigned>(64 + finalBits);
        return (bits_ >> count_) == 0;
    }

    // Tops the buffer up to at least 56 bits. False when that would load
    // below the floor (only a malformed stream gets there).
    bool refill()
    {
        const unsigned bytes = (63 - count_) >> 3;
        if (pos_ - floor_ < 8) [[unlikely]]
            return refillNearFloor(bytes);
        const std::uint64_t in = loadLe64(pos_ - 8);
        pos_ -= bytes;
        // Two shifts: `bytes` may be 0, and a shift by 64 is undefined.
        bits_ = (bits_ << (8 * bytes)) | ((in >> 1) >> (63 - 8 * bytes));
        count_ += 8 * bytes;
        return true;
    }

    // Takes the next `n` bits (n <= the bits held; after refill() that is at
    // least 56).
    std::uint32_t pull(unsigned n)
    {
        // Consumed bits stay in the buffer above `count_` and are masked
        // off here: the only serial dependency between pulls is the count.
        count_ -= n;
        return static_cast<std::uint32_t>((bits_ >> count_) & ((std::uint64_t{1} << n) - 1));
    }

    // As pull, with the mask of `n` bits given: decode tables keep it.
    std::uint32_t pull(unsigned n, std::uint32_t mask)
    {
        count_ -= n;
        return static_cast<std::uint32_t>(bits_ >> count_) & mask;
    }

    unsigned bitsHeld() const { return count_; }
    const std::uint8_t* position() const { return pos_; }

private:
    bool refillNearFloor(unsigned bytes)
    {
        for (; bytes > 0 && pos_ > floor_; --bytes) {
            bits_ = (bits_ << 8) | *--pos_;
            count_ += 8;
        }
        return count_ >= 56;
    }

    const std::uint8_t* floor_ = nullptr;
    const std::uint8_t* pos_ = nullptr;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

}  // namespace kelvane::codec
