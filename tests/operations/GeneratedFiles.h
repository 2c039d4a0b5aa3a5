// SPDX-License-Identifier: MIT
#pragma once

// Seeded file contents for the operations tests: text that compresses well,
// structured binary, and random or gzip bytes that do not compress at all.

#include "engine/DecmpfsResourceFork.h"
#include "engine/FileCompressor.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::operations::test {

inline std::vector<std::uint8_t> textBytes(std::mt19937& rng, std::size_t size)
{
    static const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "kelvane ", "archive ", "folder ",
                                  "compress ", "status ", "cache ", "row ", "worker ", "\n", "the ", "of "};
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size + 16);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(words) - 1);
    while (bytes.size() < size)
        for (const char* c = words[pick(rng)]; *c && bytes.size() < size; ++c)
            bytes.push_back(static_cast<std::uint8_t>(*c));
    return bytes;
}

inline std::vector<std::uint8_t> binaryBytes(std::mt19937& rng, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t value = rng() % 1000;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        value += rng() % 3;
        for (int b = 0; b < 4; ++b)
            bytes[i + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    return bytes;
}

inline std::vector<std::uint8_t> randomBytes(std::mt19937& rng, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

inline std::size_t between(std::mt19937& rng, std::size_t low, std::size_t high)
{
    return std::uniform_int_distribution<std::size_t>(low, high)(rng);
}

// Already-compressed bytes: the corpus's gzip file from its start, repeated
// as often as `size` needs (the fork's 64 KiB blocks are coded apart, so a
// repeat does not make it shrink).
inline std::vector<std::uint8_t> gzipBytes(std::size_t size)
{
    const auto gzip = kelvane::test::readRawFile(kelvane::test::corpusDir() / "precompressed-gzip.bin");
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size);
    while (bytes.size() < size)
        bytes.insert(bytes.end(), gzip.begin(),
                     gzip.begin() + static_cast<std::ptrdiff_t>(std::min(gzip.size(), size - bytes.size())));
    return bytes;
}

// Random bytes and then zeros, as many as make the fork exactly one byte
// shorter than the file (each zero costs the fork next to nothing); empty
// when no count up to 4096 does.
inline std::vector<std::uint8_t> shrinksByOneByte()
{
    std::mt19937 rng(4711);
    const std::vector<std::uint8_t> noise = randomBytes(rng, 30000);
    for (std::size_t zeros = 0; zeros < 4096; ++zeros) {
        std::vector<std::uint8_t> bytes = noise;
        bytes.resize(bytes.size() + zeros, 0);
        if (engine::DecmpfsResourceFork::encode(bytes).size() + 1 == bytes.size())
            return bytes;
    }
    return {};
}

// Files whose fork would not be smaller, by name: random and gzip bytes of
// 20 KiB, 1 MiB and just above the streaming threshold, so every road sees them.
inline std::vector<std::pair<std::string, std::vector<std::uint8_t>>> filesThatDoNotShrink(std::mt19937& rng)
{
    const std::size_t aboveThreshold = engine::FileCompressor::streamingThreshold + 65536 + 7;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const std::size_t size : {std::size_t{20} << 10, std::size_t{1} << 20, aboveThreshold}) {
        files.emplace_back("random-" + std::to_string(size), randomBytes(rng, size));
        files.emplace_back("gzip-" + std::to_string(size) + ".gz", gzipBytes(size));
    }
    return files;
}

// A file as a refused operation must leave it: its raw bytes, mode,
// modification time, flags and attributes.
struct FileImage {
    std::vector<std::uint8_t> raw;
    mode_t mode = 0;
    std::int64_t mtimeSeconds = 0, mtimeNanoseconds = 0;
    std::uint32_t flags = 0;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> attributes;

    static FileImage of(const std::filesystem::path& path)
    {
        FileImage image;
        image.raw = kelvane::test::readRawFile(path);
        platform::FileStat st;
        if (platform::lstat(path, st) == 0) {
            image.mode = st.mode;
            image.mtimeSeconds = st.mtime.tv_sec;
            image.mtimeNanoseconds = st.mtime.tv_nsec;
            image.flags = st.flags;
        }
        std::vector<char> names(4096);
        const ssize_t length = platform::listxattr(path, names.data(), names.size(), platform::XATTR_SHOWCOMPRESSION);
        for (std::size_t i = 0; length > 0 && i < static_cast<std::size_t>(length);) {
            const std::string name(names.data() + i);
            i += name.size() + 1;
            std::vector<std::uint8_t> value(65536);
            const ssize_t got = platform::getxattr(path, name, value.data(), value.size(), 0, platform::XATTR_SHOWCOMPRESSION);
            value.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
            image.attributes.emplace_back(name, std::move(value));
        }
        return image;
    }
    bool operator==(const FileImage&) const = default;
};

// Gives `path` an attribute, a mode and an old modification time.
inline void decorate(const std::filesystem::path& path)
{
    const std::string note = "kept " + path.filename().string();
    platform::setxattr(path, "com.example.note", note.data(), note.size(), 0, 0);
    platform::chmod(path, 0640);
    platform::utimensat(path, timespec{1500000000, 111}, timespec{1600000000, 222});
}

// The files that do not shrink, and one that shrinks by a single byte, as a
// test of refused files makes them in `folder` through its `write` (which
// returns the path written), each then decorated.
struct RefusedFiles {
    std::map<std::filesystem::path, FileImage> refused;  // each as it was before the run
    std::filesystem::path shrinks;
    std::vector<std::uint8_t> edge;  // its bytes; empty (and no file) when no such bytes were found
};

template <class Write>
RefusedFiles writeRefusedFiles(const std::filesystem::path& folder, std::mt19937& rng, Write write)
{
    RefusedFiles files;
    std::vector<std::filesystem::path> written;
    for (const auto& [name, bytes] : filesThatDoNotShrink(rng))
        written.push_back(write(folder / name, bytes));
    files.edge = shrinksByOneByte();
    if (files.edge.empty())
        return files;
    files.shrinks = write(folder / "shrinks-by-one-byte", files.edge);
    decorate(files.shrinks);
    for (const std::filesystem::path& path : written) {
        decorate(path);
        files.refused[path] = FileImage::of(path);
    }
    return files;
}

}  // namespace kelvane::operations::test
