// SPDX-License-Identifier: MIT
#pragma once

#include "support/TempDir.h"

#include <cstdint>
#include <map>
#include <string>
#include <random>
#include <vector>

namespace kelvane::codec::test {

using Bytes = std::vector<std::uint8_t>;

// Bytes drawn from `alphabet` symbols, all equally likely: incompressible
// for 256, literal-heavy but entropy-codable below that.
inline Bytes randomBytes(std::size_t n, std::uint32_t seed, unsigned alphabet = 256)
{
    std::mt19937 rng(seed);
    Bytes out(n);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(rng() % alphabet);
    return out;
}

inline const Bytes& corpusFile(const std::string& name)
{
    static std::map<std::string, Bytes> cache;
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.emplace(name, kelvane::test::readRawFile(kelvane::test::corpusDir() / name)).first;
    return it->second;
}

// The first `n` bytes of the text corpus file (English headers).
inline Bytes text(std::size_t n)
{
    const Bytes& all = corpusFile("text-headers.bin");
    return Bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
}

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace kelvane::codec::test
