// SPDX-License-Identifier: MIT
#include "platform/Sha256.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kelvane::platform {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Sha256Test, KnownDigestsAndIncrementalFeedingAgree)
{
    EXPECT_EQ(toHex(Sha256::digest({})), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(toHex(Sha256::digest(bytesOf("abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(toHex(Sha256::digest(bytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"))),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    std::mt19937 random(5);
    std::vector<std::uint8_t> data(1 << 20);
    for (auto& byte : data)
        byte = static_cast<std::uint8_t>(random());
    Sha256 hasher;
    for (std::size_t offset = 0; offset < data.size();) {
        const std::size_t piece = std::min<std::size_t>(random() % 70000, data.size() - offset);
        hasher.update(std::span(data).subspan(offset, piece));
        offset += piece;
    }
    const Sha256Digest whole = Sha256::digest(data);
    EXPECT_EQ(hasher.finish(), whole);

    // finish() starts afresh.
    hasher.update(bytesOf("abc"));
    EXPECT_EQ(hasher.finish(), Sha256::digest(bytesOf("abc")));
    data[12345] ^= 1;
    EXPECT_NE(Sha256::digest(data), whole);
}

}  // namespace
}  // namespace kelvane::platform
