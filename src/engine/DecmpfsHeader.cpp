// SPDX-License-Identifier: MIT
#include "engine/DecmpfsHeader.h"

#include "codec/LittleEndian.h"

namespace kelvane::engine {

std::vector<std::uint8_t> DecmpfsHeader::encode(CompressionType type, std::uint64_t uncompressedSize)
{
    std::vector<std::uint8_t> out;
    out.reserve(byteCount);
    le::append32(out, magic);
    le::append32(out, rawValue(type));
    le::append64(out, uncompressedSize);
    return out;
}

DecmpfsHeader DecmpfsHeader::parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < byteCount)
        throw DecmpfsHeaderError(DecmpfsHeaderError::insufficientBytes{
            static_cast<std::int64_t>(byteCount), static_cast<std::int64_t>(bytes.size())});
    const std::uint32_t foundMagic = le::read32(bytes, 0);
    if (foundMagic != magic)
        throw DecmpfsHeaderError(DecmpfsHeaderError::invalidMagic{foundMagic});
    const std::uint32_t raw = le::read32(bytes, 4);
    const auto type = compressionTypeFromRaw(raw);
    if (!type)
        throw DecmpfsHeaderError(DecmpfsHeaderError::unknownCompressionType{raw});
    return DecmpfsHeader{*type, le::read64(bytes, 8)};
}

}  // namespace kelvane::engine
