#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::engine::le {

inline std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

inline std::uint64_t read64(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint64_t>(read32(bytes, offset)) |
           static_cast<std::uint64_t>(read32(bytes, offset + 4)) << 32;
}

inline void append32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void append64(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace kelvane::engine::le
