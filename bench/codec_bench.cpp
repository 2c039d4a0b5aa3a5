// Codec figures on the shared corpus: every file cut into 64 KiB chunks, each
// chunk an independent stream with capacity chunk + 64 (as resource-fork
// blocks are made), decoded back and verified; zlib level 6 on the same
// chunks in the same run for scale. Single thread; each timing is the best
// of several passes.
//
// Usage: codec_bench [corpus-folder] [passes]

#include "codec/LzfseDecoder.h"
#include "codec/LzfseEncoder.h"

#include <zlib.h>

#include <algorithm>
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

Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

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

// Compresses every chunk into its own buffer, then decodes each back; the
// caller's codec functions return the compressed size (0 = failure) and
// whether the decoded chunk matches.
template <typename Encode, typename Decode>
Figures measure(const Bytes& data, int passes, std::size_t capacitySlack, Encode encode, Decode decode,
                const char* name, const std::string& file)
{
    const std::size_t chunks = (data.size() + kChunk - 1) / kChunk;
    std::vector<Bytes> streams(chunks);
    std::vector<std::size_t> sizes(chunks);
    Figures f;
    f.input = data.size();
    f.encodeSeconds = 1e300;
    f.decodeSeconds = 1e300;
    for (std::size_t i = 0; i < chunks; ++i)
        streams[i].resize(std::min(kChunk, data.size() - i * kChunk) + capacitySlack);

    for (int pass = 0; pass < passes; ++pass) {
        const auto start = Clock::now();
        for (std::size_t i = 0; i < chunks; ++i) {
            const std::size_t len = std::min(kChunk, data.size() - i * kChunk);
            sizes[i] = encode(data.data() + i * kChunk, len, streams[i].data(), streams[i].size());
        }
        f.encodeSeconds = std::min(f.encodeSeconds, std::chrono::duration<double>(Clock::now() - start).count());
    }
    f.output = 0;
    for (std::size_t i = 0; i < chunks; ++i) {
        if (sizes[i] == 0) {
            std::fprintf(stderr, "%s: %s chunk %zu did not compress into its capacity\n", name, file.c_str(), i);
            std::exit(1);
        }
        f.output += sizes[i];
    }

    Bytes out(kChunk);
    for (int pass = 0; pass < passes; ++pass) {
        const auto start = Clock::now();
        for (std::size_t i = 0; i < chunks; ++i) {
            const std::size_t len = std::min(kChunk, data.size() - i * kChunk);
            if (!decode(streams[i].data(), sizes[i], out.data(), len)) {
                std::fprintf(stderr, "%s: %s chunk %zu failed to decode\n", name, file.c_str(), i);
                std::exit(1);
            }
        }
        f.decodeSeconds = std::min(f.decodeSeconds, std::chrono::duration<double>(Clock::now() - start).count());
    }
    // Verified outside the timed passes.
    for (std::size_t i = 0; i < chunks; ++i) {
        const std::size_t len = std::min(kChunk, data.size() - i * kChunk);
        std::fill(out.begin(), out.end(), 0xA5);
        if (!decode(streams[i].data(), sizes[i], out.data(), len) ||
            !std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(len), data.begin() + static_cast<std::ptrdiff_t>(i * kChunk))) {
            std::fprintf(stderr, "%s: %s chunk %zu does not round-trip\n", name, file.c_str(), i);
            std::exit(1);
        }
    }
    return f;
}

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

void printRow(const std::string& name, const Figures& ours, const Figures& zlib)
{
    std::printf("%-24s %10zu %10zu %7.4f %8.1f %8.1f %10zu %7.4f %8.1f %8.1f %6.2f %6.2f\n", name.c_str(), ours.input,
                ours.output, ours.ratio(), ours.encodeMBps(), ours.decodeMBps(), zlib.output, zlib.ratio(),
                zlib.encodeMBps(), zlib.decodeMBps(), ours.encodeMBps() / zlib.encodeMBps(),
                ours.decodeMBps() / zlib.decodeMBps());
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path corpus = argc > 1 ? argv[1] : std::filesystem::path(KELVANE_TESTDATA_DIR) / "corpus";
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus))
        if (entry.is_regular_file() && entry.path().extension() == ".bin")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no corpus files in %s\n", corpus.c_str());
        return 1;
    }

    std::printf("64 KiB chunks, each its own stream (capacity chunk + %zu); best of %d passes; MB = 10^6 bytes of input\n",
                kCapacitySlack, passes);
    std::printf("%-24s %10s %10s %7s %8s %8s %10s %7s %8s %8s %6s %6s\n", "file", "input", "ours", "ratio", "enc MB/s",
                "dec MB/s", "zlib-6", "ratio", "enc MB/s", "dec MB/s", "enc x", "dec x");
    Figures oursTotal, zlibTotal;
    for (const auto& path : files) {
        const Bytes data = readFile(path);
        const std::string name = path.filename().string();
        // zlib gets the worst-case room it asks for; ours gets what a resource fork allows.
        const Figures ours = measure(data, passes, kCapacitySlack, oursEncode, oursDecode, "ours", name);
        const Figures zlib = measure(data, passes, compressBound(kChunk) - kChunk, zlibEncode, zlibDecode, "zlib", name);
        printRow(name, ours, zlib);
        oursTotal.add(ours);
        zlibTotal.add(zlib);
    }
    printRow("TOTAL", oursTotal, zlibTotal);
    return 0;
}
