#pragma once

// Seeded file contents for the operations tests: text that compresses well,
// structured binary, and random bytes that do not compress at all.

#include "support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace kelvane::operations::test {

inline std::vector<std::uint8_t> textBytes(std::mt19937& rng, std::size_t size)
{
    static const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "kelvane ", "archive ", "folder ",
                                  "compress ", "status ", "cache ", "row ", "worker ", "\n", "the ", "of "};
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size + 16);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(words) - 1);
    while (bytes.size() < size)
        for (const char* c = words[pick(rng)]; *c && bytes.size() < size; ++c)
            bytes.push_back(static_cast<std::uint8_t>(*c));
    return bytes;
}

inline std::vector<std::uint8_t> binaryBytes(std::mt19937& rng, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t value = rng() % 1000;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        value += rng() % 3;
        for (int b = 0; b < 4; ++b)
            bytes[i + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    return bytes;
}

inline std::vector<std::uint8_t> randomBytes(std::mt19937& rng, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

inline std::size_t between(std::mt19937& rng, std::size_t low, std::size_t high)
{
    return std::uniform_int_distribution<std::size_t>(low, high)(rng);
}

}  // namespace kelvane::operations::test
