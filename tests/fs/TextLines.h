// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <random>
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

// `count` bytes of lines of random numbers, which compress less and vary
// through the whole file, different for each seed.
inline std::vector<std::uint8_t> randomRecords(std::size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    while (out.size() < count) {
        const std::string line = "record " + std::to_string(rng() % 100000) + " value " + std::to_string(rng() % 97) + "\n";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(count);
    return out;
}

}  // namespace kelvane::fs::test
