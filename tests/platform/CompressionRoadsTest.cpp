// SPDX-License-Identifier: MIT
#include "platform/CompressionRoads.h"
#include "platform/DecmpfsRecord.h"
#include "platform/StoredForms.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kelvane::decmpfs {
namespace {

using test::Bytes;
using test::operator+;

// `data` in every form a coding reads: its own stream (through the codec's
// own encoder where it has one) and, where the coding has one, the stored
// form behind its marker.
std::vector<Bytes> payloadsOf(const Codec& codec, const Bytes& data)
{
    switch (codec.coding) {
    case Coding::none:
        return {};
    case Coding::stored:
        return {data};
    case Coding::storedV2:
        return {Bytes{0xff} + data};
    case Coding::zlib:
        return {test::zlib(data), Bytes{0xff} + data, Bytes{0x1f} + data};
    case Coding::lzvn:
        return {test::lzvn(data), Bytes{0x06} + data};
    case Coding::lzfse: {
        Bytes stream(codec.encodeBound(data.size()));
        stream.resize(codec.encode(stream, data));
        return {stream};
    }
    }
    return {};
}

std::string what(const CompressionRoad& road, std::size_t payload, std::size_t size)
{
    return std::string(caseName(road.type)) + " payload " + std::to_string(payload) + " size " + std::to_string(size);
}

TEST(CompressionRoadsTest, EveryReadableTypeRoundTripsThroughItsRoad)
{
    std::map<CompressionType, Storage> readable;
    for (const Bytes& data : {test::sampleText(1), test::sampleText(3000, 2), test::randomBytes(4000, 3),
                              test::sampleText(65536, 4)}) {
        for (const CompressionRoad& road : compressionRoads) {
            const std::uint32_t raw = rawValue(road.type);
            const std::vector<Bytes> payloads = payloadsOf(*road.codec, data);
            EXPECT_EQ(payloads.empty(), road.codec->decode == nullptr) << caseName(road.type);
            for (std::size_t p = 0; p < payloads.size(); ++p) {
                const std::string name = what(road, p, data.size());
                std::vector<std::uint8_t> inlineOut;
                Bytes block(data.size(), 0xa5);
                const bool readInline = platform::decmpfs::decodeInline({raw, data.size()}, payloads[p], inlineOut);
                const bool readBlock = platform::decmpfs::decodeBlock(raw, payloads[p], block);
                switch (road.storage) {
                case Storage::attribute:
                    ASSERT_TRUE(readInline) << name;
                    EXPECT_EQ(inlineOut, data) << name;
                    EXPECT_FALSE(readBlock) << name << ": an attribute type read as a fork block";
                    break;
                case Storage::resourceFork:
                    ASSERT_TRUE(readBlock) << name;
                    EXPECT_EQ(block, data) << name;
                    EXPECT_FALSE(readInline) << name << ": a fork type read as an attribute";
                    break;
                case Storage::elsewhere:
                    ADD_FAILURE() << name << ": a dataless type with a decoder";
                    break;
                }
                readable[road.type] = road.storage;
            }
        }
    }
    // What the file system hands out decompressed, and from where; every other
    // type fails the read.
    using enum CompressionType;
    EXPECT_EQ(readable, (std::map<CompressionType, Storage>{
                            {uncompressedAttr, Storage::attribute}, {zlibAttr, Storage::attribute},
                            {lzvnAttr, Storage::attribute}, {lzvnRsrc, Storage::resourceFork},
                            {uncompressedAttrV2, Storage::attribute}, {lzfseAttr, Storage::attribute},
                            {lzfseRsrc, Storage::resourceFork}}));
}

TEST(CompressionRoadsTest, TheReadersTakeTheTableTypesOfTheirStorageAndNothingElse)
{
    std::set<std::uint32_t> rawValues{0xffffffffu, 0x80000001u, 0x0100000bu};
    for (std::uint32_t raw = 0; raw <= 20; ++raw)
        rawValues.insert(raw);
    const Bytes data = test::sampleText(2000, 5);
    const Bytes stream = payloadsOf(codecs::lzfse, data).front();
    for (std::uint32_t raw : rawValues) {
        const CompressionRoad* road = compressionRoadFromRaw(raw);
        ASSERT_EQ(road != nullptr, compressionTypeFromRaw(raw).has_value()) << raw;
        const bool readable = road && road->codec->decode;
        EXPECT_EQ(platform::decmpfs::isInlineType(raw), readable && road->storage == Storage::attribute) << raw;
        EXPECT_EQ(platform::decmpfs::isForkType(raw), readable && road->storage == Storage::resourceFork) << raw;
        if (!readable) {
            // Even a payload that would decode is refused by both readers.
            std::vector<std::uint8_t> out;
            Bytes block(data.size());
            EXPECT_FALSE(platform::decmpfs::decodeInline({raw, data.size()}, stream, out)) << raw;
            EXPECT_FALSE(platform::decmpfs::decodeBlock(raw, stream, block)) << raw;
        }
    }

    // Kelvane writes one type per storage, and reads back what it writes.
    EXPECT_EQ(writtenType(Storage::attribute), CompressionType::lzfseAttr);
    EXPECT_EQ(writtenType(Storage::resourceFork), CompressionType::lzfseRsrc);
    EXPECT_TRUE(platform::decmpfs::isInlineType(rawValue(writtenType(Storage::attribute))));
    EXPECT_TRUE(platform::decmpfs::isForkType(rawValue(writtenType(Storage::resourceFork))));
}

TEST(CompressionRoadsTest, DecodersStopAtTheDestinationAndReportWhy)
{
    const Bytes data = test::sampleText(5000, 6);
    std::set<const Codec*> seen;
    for (const CompressionRoad& road : compressionRoads) {
        if (!road.codec->decode || !seen.insert(road.codec).second)
            continue;
        const std::vector<Bytes> payloads = payloadsOf(*road.codec, data);
        for (std::size_t p = 0; p < payloads.size(); ++p) {
            const std::string name = what(road, p, data.size());
            // One byte short: filled to the last byte, nothing written past it.
            Bytes room(data.size() - 1 + 32, 0xa5);
            const auto shortDestination = std::span(room).first(data.size() - 1);
            EXPECT_EQ(road.codec->decode(shortDestination, payloads[p]),
                      (DecodeResult{DecodeStatus::destinationFull, data.size() - 1}))
                << name;
            EXPECT_TRUE(std::equal(data.begin(), data.end() - 1, room.begin())) << name;
            EXPECT_TRUE(std::all_of(room.begin() + static_cast<std::ptrdiff_t>(data.size() - 1), room.end(),
                                    [](std::uint8_t b) { return b == 0xa5; }))
                << name << ": wrote past the destination";
            // Room to spare: the stream ends where the data does.
            Bytes spare(data.size() + 1);
            EXPECT_EQ(road.codec->decode(spare, payloads[p]), (DecodeResult{DecodeStatus::ok, data.size()})) << name;
        }
    }
    EXPECT_EQ(seen.size(), 5u) << "stored, storedV2, zlib, lzvn and lzfse";

    Bytes out(10);
    EXPECT_EQ(codecs::decodeStoredV2(out, Bytes{0xfe, 1, 2}).status, DecodeStatus::malformed);
    EXPECT_EQ(codecs::decodeStoredV2(out, Bytes{}).status, DecodeStatus::malformed);
    EXPECT_EQ(codecs::decodeZlib(out, Bytes{0x78, 0x9c, 1, 2, 3}).status, DecodeStatus::malformed);
}

}  // namespace
}  // namespace kelvane::decmpfs
