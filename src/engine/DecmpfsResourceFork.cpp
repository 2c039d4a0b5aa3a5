#include "engine/DecmpfsResourceFork.h"

#include "engine/LZFSE.h"
#include "codec/LittleEndian.h"

#include <algorithm>
#include <string>

namespace kelvane::engine::DecmpfsResourceFork {

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data)
{
    if (data.size() > maxDataSize)
        throw ResourceForkError(ResourceForkError::dataExceedsMaximum{
            static_cast<std::int64_t>(data.size()), static_cast<std::int64_t>(maxDataSize)});
    const std::uint64_t n = blockCount(data.size());
    std::vector<std::vector<std::uint8_t>> blocks;
    blocks.reserve(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t start = i * chunkSize;
        const std::uint64_t length = std::min<std::uint64_t>(chunkSize, data.size() - start);
        blocks.push_back(LZFSE::encode(data.subspan(start, length)));
    }

    std::uint64_t total = tableLength(data.size());
    std::vector<std::uint8_t> fork;
    for (const auto& block : blocks)
        total += block.size();
    fork.reserve(total);
    std::uint32_t offset = static_cast<std::uint32_t>(tableLength(data.size()));
    le::append32(fork, offset);
    for (const auto& block : blocks) {
        offset += static_cast<std::uint32_t>(block.size());
        le::append32(fork, offset);
    }
    for (const auto& block : blocks)
        fork.insert(fork.end(), block.begin(), block.end());
    return fork;
}

std::vector<std::uint8_t> decode(std::span<const std::uint8_t> fork, std::uint64_t uncompressedSize)
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

    std::vector<std::uint8_t> out;
    out.reserve(uncompressedSize);
    std::uint64_t produced = 0;
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
        out.resize(produced + expected);
        LZFSE::decodeInto(fork.subspan(start, end - start), std::span(out).subspan(produced, expected));
        produced += expected;
    }
    return out;
}

}  // namespace kelvane::engine::DecmpfsResourceFork
