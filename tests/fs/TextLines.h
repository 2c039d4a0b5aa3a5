// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::fs::test {

// `count` bytes of numbered lines that compress well, different for each seed.
inline std::vector<std::uint8_t> compressibleLines(std::size_t count, unsigned seed = 0)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; out.size() < count; ++i) {
        const std::string line = "line " + std::to_string((i + seed) % 977) + " of a file that compresses well\n";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(count);
    return out;
}

}  // namespace kelvane::fs::test
