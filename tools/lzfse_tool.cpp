// SPDX-License-Identifier: MIT
// Command-line driver for Kelvane's LZFSE codec: encodes and decodes files the
// way the engine does, so streams can be inspected and checked by other tools.
//
//   lzfse_tool encode IN OUT         one stream for the whole file
//   lzfse_tool decode IN OUT SIZE    decode into a destination of SIZE bytes
//   lzfse_tool chunks IN DIR         one stream per 64 KiB chunk, DIR/chunk-NNNNNN.lzfse

#include "codec/LzfseDecoder.h"
#include "codec/LzfseEncoder.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kChunkSize = 64 * 1024;
// Same head-room the resource-fork writer gives each chunk.
constexpr std::size_t kCapacitySlack = 64;

int usage()
{
    std::fputs("usage: lzfse_tool encode IN OUT\n"
               "       lzfse_tool decode IN OUT SIZE\n"
               "       lzfse_tool chunks IN DIR\n",
               stderr);
    return 2;
}

std::optional<Bytes> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "lzfse_tool: cannot open %s\n", path.c_str());
        return std::nullopt;
    }
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::fprintf(stderr, "lzfse_tool: cannot read %s\n", path.c_str());
        return std::nullopt;
    }
    return bytes;
}

bool writeFile(const fs::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "lzfse_tool: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Encodes with the engine's capacity; an empty result means it did not fit.
Bytes encode(std::span<const std::uint8_t> src)
{
    Bytes dst(src.size() + kCapacitySlack);
    dst.resize(kelvane::codec::lzfseEncode(src, dst));
    return dst;
}

int encodeFile(const fs::path& in, const fs::path& out)
{
    auto src = readFile(in);
    if (!src)
        return 1;
    Bytes stream = encode(*src);
    if (stream.empty()) {
        std::fprintf(stderr, "lzfse_tool: %s: encoder failed\n", in.c_str());
        return 1;
    }
    return writeFile(out, stream) ? 0 : 1;
}

int decodeFile(const fs::path& in, const fs::path& out, std::string_view sizeText)
{
    std::size_t size = 0;
    auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
    if (ec != std::errc() || end != sizeText.data() + sizeText.size())
        return usage();
    auto src = readFile(in);
    if (!src)
        return 1;
    Bytes dst(size);
    const auto result = kelvane::codec::lzfseDecode(*src, dst);
    const bool written = writeFile(out, std::span(dst).first(result.written));
    switch (result.status) {
    case kelvane::codec::DecodeStatus::ok:
        return written ? 0 : 1;
    case kelvane::codec::DecodeStatus::destinationFull:
        std::fprintf(stderr, "lzfse_tool: %s: destination full after %zu bytes\n", in.c_str(), result.written);
        return 1;
    case kelvane::codec::DecodeStatus::malformed:
        std::fprintf(stderr, "lzfse_tool: %s: malformed after %zu bytes\n", in.c_str(), result.written);
        return 1;
    }
    return 1;
}

int encodeChunks(const fs::path& in, const fs::path& dir)
{
    auto src = readFile(in);
    if (!src)
        return 1;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "lzfse_tool: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }
    const std::span<const std::uint8_t> all(*src);
    for (std::size_t index = 0, at = 0; at < all.size(); ++index, at += kChunkSize) {
        const auto chunk = all.subspan(at, std::min(kChunkSize, all.size() - at));
        Bytes stream = encode(chunk);
        if (stream.empty()) {
            std::fprintf(stderr, "lzfse_tool: %s: encoder failed on chunk %zu\n", in.c_str(), index);
            return 1;
        }
        char name[32];
        std::snprintf(name, sizeof name, "chunk-%06zu.lzfse", index);
        if (!writeFile(dir / name, stream))
            return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "encode")
        return encodeFile(args[1], args[2]);
    if (args.size() == 4 && args[0] == "decode")
        return decodeFile(args[1], args[2], args[3]);
    if (args.size() == 3 && args[0] == "chunks")
        return encodeChunks(args[1], args[2]);
    return usage();
}
