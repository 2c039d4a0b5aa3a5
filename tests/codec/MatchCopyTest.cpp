// SPDX-License-Identifier: MIT
#include "codec/MatchCopy.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvane::codec {
namespace {

constexpr std::uint8_t kUnwritten = 0xEE;
constexpr std::size_t kHistory = 128;  // bytes before the copy a match may reach into

// A destination laid out as [history | copy | slack | beyond]: what the byte
// at `at` must hold after a correct copy of `n` bytes from `distance` back.
std::vector<std::uint8_t> expectedMatch(const std::vector<std::uint8_t>& before, std::size_t distance, std::size_t n)
{
    std::vector<std::uint8_t> want = before;
    for (std::size_t i = 0; i < n; ++i)
        want[kHistory + i] = want[kHistory + i - distance];
    return want;
}

std::vector<std::uint8_t> freshDestination(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size, kUnwritten);
    for (std::size_t i = 0; i < kHistory; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);  // no period shorter than the history
    return bytes;
}

TEST(MatchCopy, WideMatchCopiesRepeatEveryPatternAndStayWithinTheirSlack)
{
    // Every distance through the overlapping, 16-, 32-byte and wide paths,
    // every length across their chunk edges.
    for (std::size_t distance = 1; distance <= 80; ++distance) {
        for (std::size_t n = 0; n <= 100; ++n) {
            std::vector<std::uint8_t> bytes = freshDestination(kHistory + n + kCopySlack + 16);
            const std::vector<std::uint8_t> want = expectedMatch(bytes, distance, n);
            copyMatchFast(bytes.data() + kHistory, distance, n);
            for (std::size_t i = 0; i < kHistory + n; ++i)
                ASSERT_EQ(bytes[i], want[i]) << "distance " << distance << " length " << n << " byte " << i;
            for (std::size_t i = kHistory + n + kCopySlack; i < bytes.size(); ++i)
                ASSERT_EQ(bytes[i], kUnwritten) << "distance " << distance << " length " << n << " wrote byte " << i;
        }
    }
}

TEST(MatchCopy, ExactMatchCopiesWriteNothingPastTheirEnd)
{
    for (std::size_t distance = 1; distance <= 80; ++distance) {
        for (std::size_t n = 0; n <= 100; ++n) {
            std::vector<std::uint8_t> bytes = freshDestination(kHistory + n + 8);
            const std::vector<std::uint8_t> want = expectedMatch(bytes, distance, n);
            copyMatchExact(bytes.data() + kHistory, distance, n);
            ASSERT_EQ(bytes, want) << "distance " << distance << " length " << n;
        }
    }
}

TEST(MatchCopy, WideLiteralCopiesMoveEveryByteAndStayWithinTheirSlack)
{
    std::vector<std::uint8_t> source(100 + kCopySlack);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<std::uint8_t>(i * 13 + 1);
    for (std::size_t n = 0; n <= 100; ++n) {
        std::vector<std::uint8_t> bytes(n + kCopySlack + 16, kUnwritten);
        copyLiteralsFast(bytes.data(), source.data(), n);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(bytes[i], source[i]) << "length " << n << " byte " << i;
        for (std::size_t i = n + kCopySlack; i < bytes.size(); ++i)
            ASSERT_EQ(bytes[i], kUnwritten) << "length " << n << " wrote byte " << i;
    }
}

}  // namespace
}  // namespace kelvane::codec
