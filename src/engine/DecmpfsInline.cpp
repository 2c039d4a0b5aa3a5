// SPDX-License-Identifier: MIT
#include "engine/DecmpfsInline.h"

#include "engine/PayloadCodec.h"

namespace kelvane::engine::DecmpfsInline {
namespace {

std::vector<std::uint8_t> storedPrefix(std::span<const std::uint8_t> payload, std::uint64_t size)
{
    if (payload.size() < size)
        throw DecmpfsInlineError(DecmpfsInlineError::truncatedPayload{
            saturatingCount(size), static_cast<std::int64_t>(payload.size())});
    return {payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(size)};
}

}  // namespace

std::vector<std::uint8_t> encodeLZFSE(std::span<const std::uint8_t> data)
{
    const std::vector<std::uint8_t> stream = PayloadCodec::encode(codec, data);
    std::vector<std::uint8_t> attribute = DecmpfsHeader::encode(compressionType, data.size());
    attribute.insert(attribute.end(), stream.begin(), stream.end());
    if (attribute.size() > maxPayloadBytes)
        throw DecmpfsInlineError(DecmpfsInlineError::payloadTooLarge{
            static_cast<std::int64_t>(attribute.size()), static_cast<std::int64_t>(maxPayloadBytes)});
    return attribute;
}

std::vector<std::uint8_t> decode(std::span<const std::uint8_t> attribute)
{
    const DecmpfsHeader header = DecmpfsHeader::parse(attribute);
    const std::uint64_t size = header.uncompressedSize;
    const auto payload = attribute.subspan(DecmpfsHeader::byteCount);
    const decmpfs::CompressionRoad& road = decmpfs::compressionRoad(header.compressionType);
    const auto unsupported = [&] {
        return DecmpfsInlineError(DecmpfsInlineError::unsupportedCompressionType{header.compressionType});
    };
    if (road.storage != decmpfs::Storage::attribute)
        throw unsupported();
    switch (road.codec->coding) {
    case decmpfs::Coding::lzfse:
        return PayloadCodec::decode(*road.codec, payload, size);
    case decmpfs::Coding::storedV2:
        if (payload.empty() || payload[0] != 0xFF)
            throw DecmpfsInlineError(DecmpfsInlineError::missingUncompressedV2Prefix{});
        return storedPrefix(payload.subspan(1), size);
    case decmpfs::Coding::stored:
        return storedPrefix(payload, size);
    case decmpfs::Coding::zlib:
    case decmpfs::Coding::lzvn:
    case decmpfs::Coding::none:
        // Read by the file system; the engine never writes them, so never proves them.
        break;
    }
    throw unsupported();
}

}  // namespace kelvane::engine::DecmpfsInline
