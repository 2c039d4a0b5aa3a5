// SPDX-License-Identifier: MIT
#pragma once

// Builds the stored forms of compressed files by hand, as the platform lays
// them out, so that reads through the layer can be checked against the bytes
// they must give back.

#include "codec/LzfseEncoder.h"
#include "codec/LzvnEncoder.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>
#include <zlib.h>

namespace kelvane::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes decmpfsHeader(std::uint32_t type, std::uint64_t size)
{
    Bytes out = {'f', 'p', 'm', 'c'};
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(type >> (8 * i)));
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes lzfse(std::span<const std::uint8_t> data)
{
    Bytes out(codec::lzfseEncodeBound(data.size()));
    out.resize(codec::lzfseEncode(data, out));
    if (out.empty())
        throw std::runtime_error("lzfse encode failed");
    return out;
}

inline Bytes lzvn(std::span<const std::uint8_t> data)
{
    Bytes out(data.size() + data.size() / 8 + 64);
    out.resize(codec::lzvnEncode(data, out));
    if (out.empty())
        throw std::runtime_error("lzvn encode failed");
    return out;
}

inline Bytes zlib(std::span<const std::uint8_t> data)
{
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    Bytes out(length);
    if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), 6) != Z_OK)
        throw std::runtime_error("zlib compress failed");
    out.resize(length);
    return out;
}

// Offset table and blocks, one block per 64 KiB of `data`, each made by `encode`.
template <class Encode>
Bytes forkOf(std::span<const std::uint8_t> data, Encode encode)
{
    const std::size_t blocks = (data.size() + 65535) / 65536;
    Bytes table(4 * (blocks + 1));
    Bytes body;
    std::uint32_t offset = static_cast<std::uint32_t>(table.size());
    for (std::size_t i = 0; i <= blocks; ++i) {
        for (int b = 0; b < 4; ++b)
            table[4 * i + b] = static_cast<std::uint8_t>(offset >> (8 * b));
        if (i == blocks)
            break;
        const Bytes block = encode(data.subspan(i * 65536, std::min<std::size_t>(65536, data.size() - i * 65536)));
        body.insert(body.end(), block.begin(), block.end());
        offset += static_cast<std::uint32_t>(block.size());
    }
    return table + body;
}

// Text-like bytes that compress well, with a little noise so blocks differ.
inline Bytes sampleText(std::size_t size, unsigned seed = 7)
{
    static const std::string words[] = {"decmpfs ", "block ", "fork ", "header ", "table ", "inode\n", "42 "};
    std::mt19937 random(seed);
    Bytes out;
    while (out.size() < size) {
        const std::string& word = words[random() % 7];
        out.insert(out.end(), word.begin(), word.end());
    }
    out.resize(size);
    return out;
}

inline Bytes randomBytes(std::size_t size, unsigned seed = 11)
{
    std::mt19937 random(seed);
    Bytes out(size);
    for (auto& byte : out)
        byte = static_cast<std::uint8_t>(random());
    return out;
}

// Makes `path` a compressed file the way the system writes one: an empty data
// fork, the decmpfs attribute, the fork (if any) set through the attribute
// call, then the compressed flag.
inline void storeCompressed(const std::filesystem::path& path, const Bytes& decmpfs, const Bytes* fork = nullptr)
{
    writeRawFile(path, {});
    if (platform::setxattr(path, platform::kDecmpfsXattrName, decmpfs.data(), decmpfs.size(), 0, 0) != 0)
        throw std::runtime_error("setxattr decmpfs: errno=" + std::to_string(errno));
    if (fork && platform::setxattr(path, platform::kResourceForkXattrName, fork->data(), fork->size(), 0, 0) != 0)
        throw std::runtime_error("setxattr fork: errno=" + std::to_string(errno));
    if (platform::chflags(path, platform::UF_COMPRESSED) != 0)
        throw std::runtime_error("chflags: errno=" + std::to_string(errno));
}

// Reads through a handle in chunks of `chunkSize` bytes, crossing block edges.
inline Bytes readInChunks(const std::filesystem::path& path, std::size_t chunkSize)
{
    auto handle = platform::FileHandle::openForReading(path);
    if (!handle)
        throw std::runtime_error("open: errno=" + std::to_string(errno));
    Bytes out;
    Bytes chunk;
    for (;;) {
        if (handle->read(chunkSize, chunk) != 0)
            throw std::runtime_error("read: errno=" + std::to_string(errno));
        if (chunk.empty())
            return out;
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
}

}  // namespace kelvane::test

namespace kelvane::platform {

// The platform's own tests use these as if they were its names.
using test::Bytes;
using test::operator+;
using test::readInChunks;
using test::TempDir;

}  // namespace kelvane::platform
