// SPDX-License-Identifier: MIT
// Codec figures on the corpus: every file cut into 64 KiB chunks, each
// chunk an independent stream with capacity chunk + 64 (as resource-fork
// blocks are made), decoded back and verified; beside it, on the same chunks
// in the same run, zlib level 6 for scale. Single thread; each timing is the
// best of several passes, the codecs' passes alternating.
//
// Usage: codec_bench [corpus-folder] [passes]

#include "BenchCorpus.h"
#include "BenchUsage.h"

#include "codec/LzfseDecoder.h"
#include "codec/LzfseEncoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kCapacitySlack = 64;

struct Figures {
    std::size_t input = 0;
    std::size_t output = 0;
    double encodeSeconds = 0;
    double decodeSeconds = 0;

    void add(const Figures& o)
    {
        input += o.input;
        output += o.output;
        encodeSeconds += o.encodeSeconds;
        decodeSeconds += o.decodeSeconds;
    }
    double ratio() const { return input ? double(output) / double(input) : 0; }
    double encodeMBps() const { return double(input) / 1e6 / encodeSeconds; }
    double decodeMBps() const { return double(input) / 1e6 / decodeSeconds; }
};

using EncodeFn = std::size_t (*)(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t);
using DecodeFn = bool (*)(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t);

// One codec on one file: every chunk compressed into its own buffer, then
// decoded back. Passes of the codecs alternate, so that a busy machine
// slows both alike; each keeps its best pass.
class CodecRun {
public:
    CodecRun(const char* name, const std::string& file, const Bytes& data, std::size_t capacitySlack, EncodeFn encode,
             DecodeFn decode)
        : name_(name), file_(file), data_(data), encode_(encode), decode_(decode)
    {
        const std::size_t chunks = (data.size() + kChunk - 1) / kChunk;
        streams_.resize(chunks);
        sizes_.resize(chunks);
        for (std::size_t i = 0; i < chunks; ++i)
            streams_[i].resize(chunkSize(i) + capacitySlack);
        figures_.input = data.size();
        figures_.encodeSeconds = 1e300;
        figures_.decodeSeconds = 1e300;
    }

    void encodePass()
    {
        const auto start = Clock::now();
        for (std::size_t i = 0; i < streams_.size(); ++i)
            sizes_[i] = encode_(data_.data() + i * kChunk, chunkSize(i), streams_[i].data(), streams_[i].size());
        figures_.encodeSeconds = std::min(figures_.encodeSeconds, secondsSince(start));
        figures_.output = 0;
        for (std::size_t i = 0; i < sizes_.size(); ++i) {
            if (sizes_[i] == 0)
                fail("did not compress into its capacity", i);
            figures_.output += sizes_[i];
        }
    }

    void decodePass()
    {
        out_.resize(kChunk);
        const auto start = Clock::now();
        for (std::size_t i = 0; i < streams_.size(); ++i)
            if (!decode_(streams_[i].data(), sizes_[i], out_.data(), chunkSize(i)))
                fail("failed to decode", i);
        figures_.decodeSeconds = std::min(figures_.decodeSeconds, secondsSince(start));
    }

    // Outside the timed passes: every chunk decodes to exactly its bytes.
    void verify()
    {
        for (std::size_t i = 0; i < streams_.size(); ++i) {
            std::fill(out_.begin(), out_.end(), 0xA5);
            const auto first = data_.begin() + static_cast<std::ptrdiff_t>(i * kChunk);
            if (!decode_(streams_[i].data(), sizes_[i], out_.data(), chunkSize(i)) ||
                !std::equal(first, first + static_cast<std::ptrdiff_t>(chunkSize(i)), out_.begin()))
                fail("does not round-trip", i);
        }
    }

    const Figures& figures() const { return figures_; }

private:
    std::size_t chunkSize(std::size_t i) const { return std::min(kChunk, data_.size() - i * kChunk); }
    static double secondsSince(Clock::time_point start)
    {
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
    [[noreturn]] void fail(const char* what, std::size_t chunk) const
    {
        std::fprintf(stderr, "%s: %s chunk %zu %s\n", name_, file_.c_str(), chunk, what);
        std::exit(1);
    }

    const char* name_;
    std::string file_;
    const Bytes& data_;
    EncodeFn encode_;
    DecodeFn decode_;
    std::vector<Bytes> streams_;
    std::vector<std::size_t> sizes_;
    Bytes out_;
    Figures figures_;
};

std::size_t oursEncode(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap)
{
    return kelvane::codec::lzfseEncode({src, n}, {dst, cap});
}

bool oursDecode(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t expected)
{
    const auto r = kelvane::codec::lzfseDecode({src, n}, {dst, expected});
    return r.status == kelvane::codec::DecodeStatus::ok && r.written == expected;
}

std::size_t zlibEncode(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap)
{
    uLongf size = cap;
    return compress2(dst, &size, src, n, 6) == Z_OK ? size : 0;
}

bool zlibDecode(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t expected)
{
    uLongf size = expected;
    return uncompress(dst, &size, src, n) == Z_OK && size == expected;
}

void printHeader()
{
    std::printf("%-24s %10s | %-14s | %-13s | %-13s | %-8s | %-8s\n", "", "", "output / input", "encode MB/s",
                "decode MB/s", "encode x", "decode x");
    std::printf("%-24s %10s | %6s %7s | %6s %6s | %6s %6s | %8s | %8s\n", "file", "input", "ours", "zlib-6", "ours",
                "zlib-6", "ours", "zlib-6", "", "");
}

void printRow(const std::string& name, const Figures& ours, const Figures& zlib)
{
    std::printf("%-24s %10zu | %6.4f %7.4f | %6.1f %6.1f | %6.0f %6.0f | %8.2f | %8.2f\n", name.c_str(), ours.input,
                ours.ratio(), zlib.ratio(), ours.encodeMBps(), zlib.encodeMBps(), ours.decodeMBps(),
                zlib.decodeMBps(), ours.encodeMBps() / zlib.encodeMBps(), ours.decodeMBps() / zlib.decodeMBps());
}

}  // namespace

int main(int argc, char** argv)
{
    if (int status = 0; kelvane::bench::stopsForUsage(argc, argv, "codec_bench [CORPUS_FOLDER] [PASSES]", 0, {}, status))
        return status;
    const std::filesystem::path corpus = argc > 1 ? argv[1] : std::filesystem::path(KELVANE_CORPUS_DIR);
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    const std::vector<std::filesystem::path> files = kelvane::bench::corpusFiles(corpus);
    if (files.empty()) {
        std::fprintf(stderr, "no corpus files in %s\n", corpus.c_str());
        return 1;
    }

    std::printf("64 KiB chunks, each its own stream (capacity chunk + %zu); best of %d passes; MB = 10^6 bytes of "
                "input; x = ours over zlib-6\n",
                kCapacitySlack, passes);
    printHeader();
    Figures oursTotal, zlibTotal;
    for (const auto& path : files) {
        const Bytes data = kelvane::bench::readWholeFile(path);
        const std::string name = path.filename().string();
        // zlib gets the worst-case room it asks for; ours gets what a resource fork allows.
        CodecRun ours("ours", name, data, kCapacitySlack, oursEncode, oursDecode);
        CodecRun zlib("zlib", name, data, compressBound(kChunk) - kChunk, zlibEncode, zlibDecode);
        const std::array<CodecRun*, 2> runs = {&ours, &zlib};
        for (int pass = 0; pass < passes; ++pass)
            for (CodecRun* run : runs)
                run->encodePass();
        for (int pass = 0; pass < passes; ++pass)
            for (CodecRun* run : runs)
                run->decodePass();
        for (CodecRun* run : runs)
            run->verify();
        printRow(name, ours.figures(), zlib.figures());
        oursTotal.add(ours.figures());
        zlibTotal.add(zlib.figures());
    }
    printRow("TOTAL", oursTotal, zlibTotal);
    return 0;
}
