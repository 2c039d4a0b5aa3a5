// SPDX-License-Identifier: MIT
#include "engine/DecmpfsResourceFork.h"

#include "engine/PayloadCodec.h"
#include "codec/LittleEndian.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvane::engine::DecmpfsResourceFork {

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data)
{
    ByteBuffer fork;
    encodeInto(data, fork);
    return {fork.data(), fork.data() + fork.size()};
}

void encodeInto(std::span<const std::uint8_t> data, ByteBuffer& out)
{
    encodeWithin(data, out, SIZE_MAX);
}

bool encodeWithin(std::span<const std::uint8_t> data, ByteBuffer& out, std::size_t budget)
{
    if (data.size() > maxDataSize)
        throw ResourceForkError(ResourceForkError::dataExceedsMaximum{
            static_cast<std::int64_t>(data.size()), static_cast<std::int64_t>(maxDataSize)});
    const std::uint64_t n = blockCount(data.size());
    const auto table = static_cast<std::size_t>(tableLength(data.size()));
    // Room for the table and every block at its longest: no block ever moves.
    out.resize(table + data.size() + static_cast<std::size_t>(n) * codec.encodeSlack);
    if (table > budget)
        return false;
    std::size_t end = table;
    le::store32(out.data(), static_cast<std::uint32_t>(table));
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t start = i * chunkSize;
        const std::uint64_t length = std::min<std::uint64_t>(chunkSize, data.size() - start);
        const std::optional<std::size_t> written =
            PayloadCodec::encodeWithin(codec, data.subspan(start, length), out.span().subspan(end), budget - end);
        if (!written)
            return false;
        end += *written;
        le::store32(out.data() + 4 * (i + 1), static_cast<std::uint32_t>(end));
    }
    out.resize(end);
    return true;
}

void decodeBlocks(std::span<const std::uint8_t> fork, std::uint64_t uncompressedSize, std::span<std::uint8_t> block,
                  const std::function<void(std::span<const std::uint8_t>)>& onBlock)
{
    if (uncompressedSize > maxDataSize)
        throw ResourceForkError(ResourceForkError::dataExceedsMaximum{
            saturatingCount(uncompressedSize), static_cast<std::int64_t>(maxDataSize)});
    const std::uint64_t n = blockCount(uncompressedSize);
    const std::uint64_t t = tableLength(uncompressedSize);
    if (fork.size() < t)
        throw ResourceForkError(ResourceForkError::truncated{});
    const std::uint32_t first = le::read32(fork, 0);
    if (first != t)
        throw ResourceForkError(ResourceForkError::invalidHeader{
            "first offset " + std::to_string(first) + " != " + std::to_string(t)});

    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t start = le::read32(fork, 4 * i);
        const std::uint64_t end = le::read32(fork, 4 * (i + 1));
        switch (decmpfs::checkTableEntry(start, end, fork.size())) {
        case decmpfs::TableFault::none:
            break;
        case decmpfs::TableFault::blockTooLong:
            throw ResourceForkError(ResourceForkError::invalidHeader{
                "block " + std::to_string(i) + " longer than " + std::to_string(decmpfs::maxBlockLength)});
        case decmpfs::TableFault::decreasing:
        case decmpfs::TableFault::beyondFork:
            throw ResourceForkError(ResourceForkError::truncated{});
        }
        const std::uint64_t expected = i + 1 < n ? chunkSize : uncompressedSize - chunkSize * (n - 1);
        const auto decoded = block.first(static_cast<std::size_t>(expected));
        PayloadCodec::decodeInto(codec, fork.subspan(start, end - start), decoded);
        onBlock(decoded);
    }
}

std::vector<std::uint8_t> decode(std::span<const std::uint8_t> fork, std::uint64_t uncompressedSize)
{
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> block(chunkSize);
    if (uncompressedSize <= maxDataSize)
        out.reserve(uncompressedSize);
    decodeBlocks(fork, uncompressedSize, block,
                 [&](std::span<const std::uint8_t> decoded) { out.insert(out.end(), decoded.begin(), decoded.end()); });
    return out;
}

}  // namespace kelvane::engine::DecmpfsResourceFork
