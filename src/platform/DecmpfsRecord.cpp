// SPDX-License-Identifier: MIT
#include "platform/DecmpfsRecord.h"

#include "platform/InodeRecords.h"

#include <algorithm>

namespace kelvane::platform::decmpfs {

namespace {

// First capacity tried for inline payloads; a lying header costs no more.
constexpr std::size_t kFirstInlineCapacity = 1 << 20;

// Count semantics of the platform's decoder: decoding stops when the
// destination is full, and the call succeeds when it filled it exactly.
bool filled(const DecodeResult& result, std::size_t expected)
{
    return result.status != DecodeStatus::malformed && result.written == expected;
}

}  // namespace

std::optional<Header> readHeader(std::span<const std::uint8_t> record)
{
    if (record.size() < headerSize || le::load32(record.data()) != magic)
        return std::nullopt;
    return Header{le::load32(record.data() + 4), le::load64(record.data() + 8)};
}

bool isInlineType(std::uint32_t type)
{
    return isReadFrom(type, Storage::attribute);
}

bool isForkType(std::uint32_t type)
{
    return isReadFrom(type, Storage::resourceFork);
}

bool decodeInline(const Header& header, std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (!isInlineType(header.type) || header.size > maxLogicalSize)
        return false;
    const std::size_t size = static_cast<std::size_t>(header.size);
    if (size == 0)
        return true;

    const Decoder decode = compressionRoadFromRaw(header.type)->codec->decode;
    for (std::size_t capacity = std::min(size, kFirstInlineCapacity);; capacity = std::min(size, capacity * 8)) {
        out.resize(capacity);
        const DecodeResult result = decode(out, payload);
        if (capacity == size && filled(result, size))
            return true;
        if (capacity == size || result.status != DecodeStatus::destinationFull) {
            out.clear();
            return false;
        }
    }
}

bool decodeBlock(std::uint32_t type, std::span<const std::uint8_t> block, std::span<std::uint8_t> out)
{
    if (!isForkType(type))
        return false;
    if (out.empty())
        return true;
    return filled(compressionRoadFromRaw(type)->codec->decode(out, block), out.size());
}

}  // namespace kelvane::platform::decmpfs
