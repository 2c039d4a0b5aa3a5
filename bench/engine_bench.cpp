// SPDX-License-Identifier: MIT
// Engine figures on the corpus: each file copied into a scratch folder,
// then compressFile and decompressFile on the copy (single thread, with every
// flush, attribute copy and verification the operations do), beside the raw
// 64 KiB-chunk encode speed of the codec on the same bytes in the same run, so
// the engine's overhead shows as a ratio (goal: compress >= 0.6 x raw encode).
// Then the streaming road's peak memory on a generated 200 MB file (goal:
// below 64 MiB above the process's baseline).
//
// Usage: engine_bench [--keep DIR] [--corpus DIR] [--stream-mb N]
//   --keep DIR  also leaves a compressed copy of every corpus file in DIR

#include "BenchCorpus.h"

#include "engine/Eligibility.h"
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "platform/Compression.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;
using kelvane::engine::CompressionResult;
using kelvane::engine::FileCompressor;

constexpr std::size_t kChunk = 65536;

void writeFile(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

double seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// CPU time of this thread: beside the wall time, a figure that a machine busy
// with other work disturbs far less (it leaves out waits for a core, and the
// fsync and other waits of the operation).
double threadCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
double lastRawCpuSeconds = 0;

// Encodes every 64 KiB chunk as an independent stream (capacity chunk + 64),
// as the fork's blocks are made; best of three passes.
double rawEncodeSeconds(const Bytes& data)
{
    Bytes dst(kChunk + 64);
    double best = 1e300;
    lastRawCpuSeconds = 1e300;
    for (int pass = 0; pass < 3; ++pass) {
        const auto start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        std::size_t sink = 0;
        for (std::size_t offset = 0; offset < data.size(); offset += kChunk) {
            const std::size_t length = std::min(kChunk, data.size() - offset);
            sink += kelvane::platform::compressionEncodeBuffer(dst, std::span(data).subspan(offset, length));
        }
        best = std::min(best, seconds(start));
        lastRawCpuSeconds = std::min(lastRawCpuSeconds, threadCpuSeconds() - cpuStart);
        if (sink == 0)
            std::fprintf(stderr, "encoder produced nothing\n");
    }
    return best;
}

std::uint64_t statusBytes(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, length, key) == 0)
            return std::stoull(line.substr(length)) * 1024;
    }
    return 0;
}

// Peak resident size while `operation` runs: the larger of VmHWM (reset
// before, through clear_refs) and VmRSS sampled every millisecond, since the
// kernel may fold the high-water mark in lazily.
template <typename Operation>
std::uint64_t peakResident(Operation&& operation)
{
    {
        std::ofstream out("/proc/self/clear_refs");
        out << "5";
    }
    std::atomic<bool> done{false};
    std::atomic<std::uint64_t> sampled{0};
    std::thread sampler([&] {
        while (!done) {
            const std::uint64_t now = statusBytes("VmRSS:");
            if (now > sampled)
                sampled = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    operation();
    done = true;
    sampler.join();
    return std::max<std::uint64_t>(sampled, statusBytes("VmHWM:"));
}

struct Row {
    std::string name;
    double before = 0, after = 0, compressSeconds = 0, decompressSeconds = 0, rawSeconds = 0;
    double compressCpuSeconds = 0, rawCpuSeconds = 0;
    bool refused = false;  // did not shrink: left as it was, nothing to decompress
};

void printRow(const Row& r)
{
    const double mb = r.before / 1e6;
    if (r.refused) {
        std::printf("%-24s %12.0f %12s %6s %10.1f %10s %10.1f %8.2f  (does not shrink: left as is)\n", r.name.c_str(),
                    r.before, "-", "-", mb / r.compressSeconds, "-", mb / r.rawSeconds, r.rawSeconds / r.compressSeconds);
        return;
    }
    std::printf("%-24s %12.0f %12.0f %6.3f %10.1f %10.1f %10.1f %8.2f\n", r.name.c_str(), r.before, r.after,
                r.after / r.before, mb / r.compressSeconds, mb / r.decompressSeconds, mb / r.rawSeconds,
                r.rawSeconds / r.compressSeconds);
}

int streamingMemory(const fs::path& scratch, const fs::path& corpus, std::uint64_t megabytes)
{
    const fs::path big = scratch / "generated.bin";
    const std::uint64_t target = megabytes * 1000000;
    {
        // Corpus files in turn, written piece by piece: mixed content, no
        // large buffer held by the generator.
        std::ofstream out(big, std::ios::binary | std::ios::trunc);
        const std::vector<fs::path> sources = kelvane::bench::corpusFiles(corpus);
        std::vector<char> piece(1 << 20);
        std::uint64_t written = 0;
        for (std::size_t i = 0; written < target; ++i) {
            std::ifstream in(sources[i % sources.size()], std::ios::binary);
            while (written < target && in) {
                in.read(piece.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(piece.size(), target - written)));
                out.write(piece.data(), in.gcount());
                written += static_cast<std::uint64_t>(in.gcount());
            }
        }
    }

    const FileCompressor compressor;
    const std::uint64_t baseline = statusBytes("VmRSS:");
    CompressionResult compressed;
    auto start = Clock::now();
    const std::uint64_t compressPeak = peakResident([&] { compressed = compressor.compressFile(big); });
    const double compressSeconds = seconds(start);

    const std::uint64_t baseline2 = statusBytes("VmRSS:");
    start = Clock::now();
    const std::uint64_t decompressPeak = peakResident([&] { compressor.decompressFile(big); });
    const double decompressSeconds = seconds(start);
    const bool intact = compressed.bytesBefore == static_cast<std::int64_t>(target) && fs::file_size(big) == target;

    const double mib = 1024.0 * 1024.0;
    const double above = (static_cast<double>(compressPeak) - static_cast<double>(baseline)) / mib;
    const double above2 = (static_cast<double>(decompressPeak) - static_cast<double>(baseline2)) / mib;
    std::printf("streaming road, generated file of %llu bytes%s\n", static_cast<unsigned long long>(target),
                intact ? "" : " (SIZE CHANGED)");
    std::printf("  compressFile:   %.1f MB/s, after %lld bytes, peak RSS %.1f MiB above baseline %.1f MiB\n",
                static_cast<double>(target) / 1e6 / compressSeconds, static_cast<long long>(compressed.bytesAfter),
                above, static_cast<double>(baseline) / mib);
    std::printf("  decompressFile: %.1f MB/s, peak RSS %.1f MiB above baseline %.1f MiB\n",
                static_cast<double>(target) / 1e6 / decompressSeconds, above2, static_cast<double>(baseline2) / mib);
    const bool met = above < 64.0 && above2 < 64.0 && intact;
    std::printf("  goal: below 64 MiB above baseline: %s\n", met ? "met" : "NOT met");
    fs::remove(big);
    std::printf("\n");
    return 0;
}

void addTo(Row& sum, const Row& row)
{
    sum.before += row.before;
    sum.after += row.after;
    sum.compressSeconds += row.compressSeconds;
    sum.decompressSeconds += row.decompressSeconds;
    sum.rawSeconds += row.rawSeconds;
    sum.compressCpuSeconds += row.compressCpuSeconds;
    sum.rawCpuSeconds += row.rawCpuSeconds;
}

// One corpus file through the engine, on a copy in `scratch`: compressed,
// decompressed and compared with the source (a file that does not shrink
// must be left as it was); kept compressed in `keep` when one is given.
// Nothing when it failed, said on standard error.
std::optional<Row> measureFile(const FileCompressor& compressor, const fs::path& source, const fs::path& scratch,
                               const fs::path& keep)
{
    const Bytes data = kelvane::bench::readWholeFile(source);
    const fs::path copy = scratch / source.filename();
    writeFile(copy, data);
    Row row{source.filename().string()};
    row.before = static_cast<double>(data.size());
    row.rawSeconds = rawEncodeSeconds(data);
    row.rawCpuSeconds = lastRawCpuSeconds;
    const auto fail = [&](const std::string& what) {
        std::fprintf(stderr, "%s: %s\n", row.name.c_str(), what.c_str());
        fs::remove(copy);
        return std::optional<Row>();
    };
    try {
        auto start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        CompressionResult compressed;
        try {
            compressed = compressor.compressFile(copy);
        } catch (const kelvane::engine::FileCompressionError& error) {
            if (error.kind() != kelvane::engine::FileCompressionError::Kind::compressionDidNotReduceSize)
                throw;
            row.refused = true;
        }
        row.compressSeconds = seconds(start);
        row.compressCpuSeconds = threadCpuSeconds() - cpuStart;
        if (row.refused) {
            if (kelvane::bench::readWholeFile(copy) != data)
                return fail("refused file changed");
            fs::remove(copy);
            return row;
        }
        row.after = static_cast<double>(compressed.bytesAfter);
        start = Clock::now();
        compressor.decompressFile(copy);
        row.decompressSeconds = seconds(start);
        if (kelvane::bench::readWholeFile(copy) != data)
            return fail("decompressed bytes differ");
        if (!keep.empty()) {
            writeFile(keep / source.filename(), data);
            compressor.compressFile(keep / source.filename());
        }
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    fs::remove(copy);
    return row;
}

}  // namespace

int main(int argc, char** argv)
{
    fs::path corpus = fs::path(KELVANE_CORPUS_DIR);
    fs::path keep;
    std::uint64_t streamMegabytes = 200;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else if (arg == "--corpus" && i + 1 < argc) {
            corpus = argv[++i];
        } else if (arg == "--stream-mb" && i + 1 < argc) {
            streamMegabytes = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--keep DIR] [--corpus DIR] [--stream-mb N]\n", argv[0]);
            return 2;
        }
    }
    if (!keep.empty())
        fs::create_directories(keep);
    // The engine is measured, not the mount: its files lie where no mount serves them.
    kelvane::engine::Eligibility::enforceMountRule(false);
    std::printf("the mount rule is off: files are compressed where no kelvanefs mount serves them\n");

    char scratchTemplate[] = "/tmp/kelvane-engine-bench-XXXXXX";
    if (!::mkdtemp(scratchTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path scratch = scratchTemplate;

    // First, while the process is fresh, so that the baseline holds no freed
    // heap that the streaming buffers could reuse unseen.
    if (streamMegabytes > 0)
        streamingMemory(scratch, corpus, streamMegabytes);

    const std::vector<fs::path> files = kelvane::bench::corpusFiles(corpus);

    std::printf("%-24s %12s %12s %6s %10s %10s %10s %8s\n", "file", "before", "after", "ratio", "comp MB/s",
                "decomp MB/s", "raw MB/s", "comp/raw");
    const FileCompressor compressor;
    Row total{"TOTAL"};
    Row shrinking{"TOTAL of those replaced"};
    int failures = 0;
    for (const fs::path& source : files) {
        const std::optional<Row> row = measureFile(compressor, source, scratch, keep);
        if (!row) {
            ++failures;
            continue;
        }
        printRow(*row);
        addTo(total, *row);
        if (!row->refused)
            addTo(shrinking, *row);
    }
    printRow(shrinking);
    std::printf("%-24s %12.0f %12s %6s %10.1f %10s %10.1f %8.2f\n", total.name.c_str(), total.before, "", "",
                total.before / 1e6 / total.compressSeconds, "", total.before / 1e6 / total.rawSeconds,
                total.rawSeconds / total.compressSeconds);
    std::printf("goal: compressFile at least 0.6 x raw chunk encode speed: %s (%.2f)\n",
                total.rawSeconds / total.compressSeconds >= 0.6 ? "met" : "NOT met",
                total.rawSeconds / total.compressSeconds);
    std::printf("in CPU time of the thread: %.2f over all files, %.2f over those replaced\n",
                total.rawCpuSeconds / total.compressCpuSeconds, shrinking.rawCpuSeconds / shrinking.compressCpuSeconds);

    fs::remove_all(scratch);
    return failures == 0 ? 0 : 1;
}
