// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::codec::test {

// A destination with canary bytes on both sides, to catch writes outside it.
class GuardedBuffer {
public:
    static constexpr std::size_t kGuard = 64;
    static constexpr std::uint8_t kCanary = 0xA5;

    explicit GuardedBuffer(std::size_t size) : bytes_(size + 2 * kGuard, kCanary), size_(size) {}

    std::span<std::uint8_t> span() { return {bytes_.data() + kGuard, size_}; }
    std::span<const std::uint8_t> first(std::size_t n) const { return {bytes_.data() + kGuard, n}; }

    bool guardsIntact() const
    {
        const auto isCanary = [](std::uint8_t b) { return b == kCanary; };
        return std::all_of(bytes_.begin(), bytes_.begin() + kGuard, isCanary) &&
               std::all_of(bytes_.end() - kGuard, bytes_.end(), isCanary);
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t size_;
};

}  // namespace kelvane::codec::test
