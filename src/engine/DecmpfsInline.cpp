#include "engine/DecmpfsInline.h"

#include "engine/LZFSE.h"

namespace kelvane::engine::DecmpfsInline {
namespace {

std::vector<std::uint8_t> rawPrefix(std::span<const std::uint8_t> payload, std::uint64_t size)
{
    if (payload.size() < size)
        throw DecmpfsInlineError(DecmpfsInlineError::truncatedPayload{
            saturatingCount(size), static_cast<std::int64_t>(payload.size())});
    return {payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(size)};
}

}  // namespace

std::vector<std::uint8_t> encodeLZFSE(std::span<const std::uint8_t> data)
{
    const std::vector<std::uint8_t> stream = LZFSE::encode(data);
    std::vector<std::uint8_t> attribute = DecmpfsHeader::encode(CompressionType::lzfseAttr, data.size());
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
    switch (header.compressionType) {
    case CompressionType::lzfseAttr:
        return LZFSE::decode(payload, size);
    case CompressionType::uncompressedAttrV2:
        if (payload.empty() || payload[0] != 0xFF)
            throw DecmpfsInlineError(DecmpfsInlineError::missingUncompressedV2Prefix{});
        return rawPrefix(payload.subspan(1), size);
    case CompressionType::uncompressedAttr:
        return rawPrefix(payload, size);
    default:
        throw DecmpfsInlineError(DecmpfsInlineError::unsupportedCompressionType{header.compressionType});
    }
}

}  // namespace kelvane::engine::DecmpfsInline
