// SPDX-License-Identifier: MIT
#pragma once

// Little-endian integers in byte buffers: the one set of helpers for the
// codec's streams, the platform's inode records and the engine's decmpfs
// headers and offset tables.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::le {

inline std::uint16_t load16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

inline std::uint64_t load64(const std::uint8_t* p) { return load32(p) | std::uint64_t{load32(p + 4)} << 32; }

inline void store32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void store64(std::uint8_t* p, std::uint64_t v)
{
    store32(p, static_cast<std::uint32_t>(v));
    store32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// The value at `offset` of `bytes`, which must hold it.
inline std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return load32(bytes.subspan(offset, 4).data());
}
inline std::uint64_t read64(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return load64(bytes.subspan(offset, 8).data());
}

inline void append32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t bytes[4];
    store32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

inline void append64(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    std::uint8_t bytes[8];
    store64(bytes, value);
    out.insert(out.end(), bytes, bytes + 8);
}

}  // namespace kelvane::le
