// SPDX-License-Identifier: MIT
#include "engine/CandidateRule.h"

#include <gtest/gtest.h>

namespace kelvane::engine {
namespace {

using V = CandidateVerdict;
using Status = FileCompressionStatus;

TEST(CandidateRuleTest, SizeBoundsAndStatesDecideWhatARunTakes)
{
    // The edges of what the format holds and what is worth a block.
    EXPECT_EQ(CandidateRule::forStatus(Status::uncompressed{}, 4095), V::none);
    EXPECT_EQ(CandidateRule::forStatus(Status::uncompressed{}, 4096), V::compress);
    EXPECT_EQ(CandidateRule::forStatus(Status::uncompressed{}, 2147483647), V::compress);
    EXPECT_EQ(CandidateRule::forStatus(Status::uncompressed{}, 2147483648), V::oversized);
    EXPECT_TRUE(CandidateRule::isOversized(2147483648));
    EXPECT_FALSE(CandidateRule::isOversized(2147483647));

    // A compressed file is the decompression's whatever its size; files the
    // inspector calls incompressible or dataless are nobody's.
    EXPECT_EQ(CandidateRule::forStatus(Status::compressed{CompressionType::lzfseAttr, 10}, 10), V::decompress);
    EXPECT_EQ(CandidateRule::forStatus(Status::incompressible{}, 1 << 20), V::none);
    EXPECT_EQ(CandidateRule::forStatus(Status::datalessCloud{}, 1 << 20), V::none);

    // Known only from a listing: no flag read means no run takes it; an
    // unread size leaves the decision to the compressor.
    EXPECT_EQ(CandidateRule::forListing(std::nullopt, 10000), V::none);
    EXPECT_EQ(CandidateRule::forListing(true, 10), V::decompress);
    EXPECT_EQ(CandidateRule::forListing(false, std::nullopt), V::compress);
    EXPECT_EQ(CandidateRule::forListing(false, 4095), V::none);
    EXPECT_EQ(CandidateRule::forListing(false, 2147483648), V::oversized);

    // A compression run takes the oversized files too, to set them aside.
    EXPECT_TRUE(CandidateRule::isTakenBy(Conversion::compress, V::oversized));
    EXPECT_FALSE(CandidateRule::isTakenBy(Conversion::compress, V::decompress));
    EXPECT_FALSE(CandidateRule::isTakenBy(Conversion::decompress, V::compress));
    EXPECT_TRUE(CandidateRule::isTakenBy(Conversion::decompress, V::decompress));
    EXPECT_FALSE(CandidateRule::isTakenBy(Conversion::compress, V::none));
}

}  // namespace
}  // namespace kelvane::engine
