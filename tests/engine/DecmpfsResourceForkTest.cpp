// SPDX-License-Identifier: MIT
#include "engine/DecmpfsHeader.h"
#include "engine/DecmpfsResourceFork.h"
#include "engine/LZFSE.h"
#include "codec/LittleEndian.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <random>

namespace kelvane::engine {
namespace {

using namespace fixtures;

Bytes patterned(std::size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::uint8_t>((i % 97 < 60) ? 'a' + (i / 97) % 26 : rng() & 0x0F);
    return out;
}

std::uint32_t entry(const Bytes& fork, std::size_t index) { return le::read32(fork, 4 * index); }

TEST(DecmpfsResourceForkTest, TableLayoutAtBlockEdges)
{
    const Bytes empty = DecmpfsResourceFork::encode({});
    EXPECT_EQ(empty, (Bytes{4, 0, 0, 0}));
    EXPECT_TRUE(DecmpfsResourceFork::decode(empty, 0).empty());

    const Bytes one = patterned(65536, 1);
    const Bytes forkOne = DecmpfsResourceFork::encode(one);
    EXPECT_EQ(entry(forkOne, 0), 8u);
    EXPECT_EQ(entry(forkOne, 1), forkOne.size());
    EXPECT_EQ(DecmpfsResourceFork::decode(forkOne, one.size()), one);

    const Bytes two = patterned(65537, 2);
    const Bytes forkTwo = DecmpfsResourceFork::encode(two);
    EXPECT_EQ(entry(forkTwo, 0), 12u);
    EXPECT_EQ(entry(forkTwo, 2), forkTwo.size());
    EXPECT_GT(entry(forkTwo, 2), entry(forkTwo, 1)) << "the second block encodes the last byte";
    EXPECT_EQ(DecmpfsResourceFork::decode(forkTwo, two.size()), two);

    // Random bytes: every block is still a stream, at most 64 bytes longer.
    std::mt19937 rng(3);
    Bytes noise(200000);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(rng());
    const Bytes forkNoise = DecmpfsResourceFork::encode(noise);
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t chunk = i < 3 ? 65536 : 200000 - 3 * 65536;
        EXPECT_LE(entry(forkNoise, i + 1) - entry(forkNoise, i), chunk + 64);
    }
    EXPECT_EQ(DecmpfsResourceFork::decode(forkNoise, noise.size()), noise);
}

TEST(DecmpfsResourceForkTest, DamagedTablesFailCleanly)
{
    const Bytes data = patterned(200000, 4);
    const Bytes fork = DecmpfsResourceFork::encode(data);
    const ResourceForkError truncated(ResourceForkError::truncated{});

    EXPECT_EQ(thrown<ResourceForkError>([] { DecmpfsResourceFork::decode(Bytes{8, 0, 0, 0}, 0); }),
              ResourceForkError(ResourceForkError::invalidHeader{"first offset 8 != 4"}));
    EXPECT_EQ(ResourceForkError(ResourceForkError::invalidHeader{"first offset 8 != 4"}).description(),
              "invalidHeader(reason: \"first offset 8 != 4\")");
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(Bytes(fork.begin(), fork.begin() + 19), data.size()); }),
              truncated);

    Bytes pastEnd = fork;
    setEntry(pastEnd, 4, static_cast<std::uint32_t>(fork.size() + 1));
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(pastEnd, data.size()); }), truncated);

    Bytes decreasing = fork;
    setEntry(decreasing, 2, entry(fork, 1) - 1);
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(decreasing, data.size()); }), truncated);

    Bytes emptyBlock = fork;  // a zero-length block is read as an empty stream
    setEntry(emptyBlock, 1, entry(fork, 0));
    EXPECT_EQ(thrown<LZFSEError>([&] { DecmpfsResourceFork::decode(emptyBlock, data.size()); }),
              LZFSEError(LZFSEError::decodeFailed{65536, 0}));

    // The size says more than the blocks hold: the last block comes up short,
    // or the table is too short for the implied block count.
    EXPECT_EQ(thrown<LZFSEError>([&] { DecmpfsResourceFork::decode(fork, 200001); }),
              LZFSEError(LZFSEError::decodeFailed{200000 - 3 * 65536 + 1, 200000 - 3 * 65536}));
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(Bytes(fork.begin(), fork.begin() + 20), 5 * 65536); }),
              truncated);
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(fork, 5 * 65536); }),
              ResourceForkError(ResourceForkError::invalidHeader{"first offset 20 != 24"}));

    Bytes garbage = fork;  // a corrupted block body
    for (std::size_t i = entry(fork, 1); i < entry(fork, 1) + 64; ++i)
        garbage[i] ^= 0x5A;
    EXPECT_THROW(DecmpfsResourceFork::decode(garbage, data.size()), LZFSEError);

    // Hostile sizes are refused before allocating.
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(fork, 1ull << 62); }),
              ResourceForkError(ResourceForkError::dataExceedsMaximum{1ll << 62, 2147483647}));
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(fork, 2147483647); }), truncated);

    // Every single-byte corruption of the table fails with a typed error or decodes to the same bytes.
    for (std::size_t i = 0; i < 20; ++i) {
        Bytes damaged = fork;
        damaged[i] ^= 0x80;
        try {
            EXPECT_EQ(DecmpfsResourceFork::decode(damaged, data.size()), data);
        } catch (const ResourceForkError&) {
        } catch (const LZFSEError&) {
        }
    }
}

// Each limit the decoder checks, at the limit and one past it: a stored block
// exactly as long as the cap decodes (bytes after a stream's end marker are
// not read), one byte longer is refused before it is decoded; a size of
// 2^31 - 1 passes the size check, 2^31 does not.
TEST(DecmpfsResourceForkTest, LimitsHoldAtTheLimitAndFailOnePast)
{
    const Bytes data = patterned(65536, 7);
    const Bytes block = LZFSE::encode(data);
    constexpr std::uint64_t cap = 2 * 65536;  // written out: the test must not move with the constants
    ASSERT_LT(block.size(), cap);
    const auto forkWithBlockOf = [&](std::uint64_t length) {
        Bytes fork;
        le::append32(fork, 8);
        le::append32(fork, static_cast<std::uint32_t>(8 + length));
        fork.insert(fork.end(), block.begin(), block.end());
        fork.resize(8 + length, 0);
        return fork;
    };
    EXPECT_EQ(DecmpfsResourceFork::decode(forkWithBlockOf(cap), data.size()), data);
    EXPECT_EQ(thrown<ResourceForkError>(
                  [&] { DecmpfsResourceFork::decode(forkWithBlockOf(cap + 1), data.size()); }),
              ResourceForkError(ResourceForkError::invalidHeader{"block 0 longer than 131072"}));

    const Bytes fork = forkWithBlockOf(block.size());
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(fork, 2147483647); }),
              ResourceForkError(ResourceForkError::truncated{}));
    EXPECT_EQ(thrown<ResourceForkError>([&] { DecmpfsResourceFork::decode(fork, 2147483648); }),
              ResourceForkError(ResourceForkError::dataExceedsMaximum{2147483648, 2147483647}));
}

TEST(DecmpfsResourceForkTest, DecodesTheSharedVector)
{
    const auto dir = test::testDataDir() / "decmpfs";
    const DecmpfsHeader header = DecmpfsHeader::parse(test::readRawFile(dir / "fork-text-200k.decmpfs"));
    EXPECT_EQ(header, (DecmpfsHeader{CompressionType::lzfseRsrc, 200000}));
    const Bytes raw = test::readRawFile(dir / "fork-text-200k.raw");
    EXPECT_EQ(DecmpfsResourceFork::decode(test::readRawFile(dir / "fork-text-200k.rsrc"), header.uncompressedSize), raw);
}

}  // namespace
}  // namespace kelvane::engine
