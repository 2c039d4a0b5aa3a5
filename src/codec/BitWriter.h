// SPDX-License-Identifier: MIT
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelvane::codec {

// Forward bit writer for FSE payloads: bits are packed from the least
// significant end of each byte, so a reader that starts at the last byte and
// works backwards pops the most recently pushed bits first.
//
// Never writes outside [begin, end): once the space runs out every later write
// is dropped and `overflowed()` turns true, so callers check once at the end.
class BitWriter {
public:
    BitWriter(std::uint8_t* begin, std::uint8_t* end) : begin_(begin), pos_(begin), end_(end) {}

    // `bits` must not have bits set at or above `count`; at most 56 bits may
    // be pending between two flushes.
    void push(std::uint64_t bits, unsigned count)
    {
        accum_ |= bits << pending_;
        pending_ += count;
    }

    // Moves the whole bytes pending into the buffer.
    void flush()
    {
        const unsigned bytes = pending_ >> 3;
        store(bytes);
        accum_ = bytes == 8 ? 0 : accum_ >> (bytes * 8);
        pending_ &= 7;
    }

    // Writes the last, partial byte (its unused high bits are zero) and
    // returns how many bits of it are unused, as a number in [-7, 0].
    int finish()
    {
        const unsigned bytes = (pending_ + 7) >> 3;
        store(bytes);
        const int unused = static_cast<int>(pending_) - static_cast<int>(bytes * 8);
        accum_ = 0;
        pending_ = 0;
        return unused;
    }

    bool overflowed() const { return overflowed_; }
    std::size_t size() const { return static_cast<std::size_t>(pos_ - begin_); }

private:
    void store(unsigned bytes)
    {
        if (end_ - pos_ >= 8) {
            // A full little-endian word is cheaper than a byte loop; the bytes
            // past `bytes` are overwritten by the next store.
            std::uint64_t word = accum_;
            if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
            std::memcpy(pos_, &word, 8);
            pos_ += bytes;
            return;
        }
        for (unsigned i = 0; i < bytes; ++i) {
            if (pos_ == end_) {
                overflowed_ = true;
                return;
            }
            *pos_++ = static_cast<std::uint8_t>(accum_ >> (8 * i));
        }
    }

    std::uint8_t* begin_;
    std::uint8_t* pos_;
    std::uint8_t* end_;
    std::uint64_t accum_ = 0;
    unsigned pending_ = 0;
    bool overflowed_ = false;
};

}  // namespace kelvane::codec
