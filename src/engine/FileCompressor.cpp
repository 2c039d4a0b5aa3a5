// SPDX-License-Identifier: MIT
#include "engine/FileCompressor.h"

#include "engine/EmptyReplacement.h"
#include "engine/Eligibility.h"
#include "engine/Road.h"
#include "engine/Swap.h"
#include "engine/WorkBuffers.h"

namespace kelvane::engine {
namespace {

// `road`: null for the one the file's size selects.
void convert(Conversion conversion, const std::filesystem::path& url, std::int64_t threshold, SwapBatch& batch,
             SwapBatch::Done done, const Road* road = nullptr)
{
    const platform::FileStat snapshot = Eligibility::check(conversion, url);
    platform::UniqueFd lock = Eligibility::lock(url, snapshot);
    const int lockFd = lock.get();
    const WorkBuffers::Lease buffers;
    RoadWork work{url, snapshot, lockFd, *buffers, {}, {}, {}, {}, 0};
    if (!road)
        road = &selectRoad(conversion, snapshot.size, threshold);
    batch.add(prepareSwap(*road, work, std::move(lock)), std::move(done));
}

// One file in a batch of its own, committed at once.
CompressionResult convertNow(Conversion conversion, const std::filesystem::path& url, std::int64_t threshold,
                             const Road* road = nullptr)
{
    SwapBatch::Outcome outcome;
    {
        SwapBatch batch;
        convert(conversion, url, threshold, batch, [&](SwapBatch::Outcome done) { outcome = std::move(done); }, road);
        batch.commit();
    }
    if (outcome.failure)
        std::rethrow_exception(outcome.failure);
    return *outcome.result;
}

}  // namespace

CompressionResult FileCompressor::compressFile(const std::filesystem::path& url, std::int64_t threshold) const
{
    return convertNow(Conversion::compress, url, threshold);
}

CompressionResult FileCompressor::decompressFile(const std::filesystem::path& url, std::int64_t threshold) const
{
    return convertNow(Conversion::decompress, url, threshold);
}

void FileCompressor::compressFile(const std::filesystem::path& url, std::int64_t threshold, SwapBatch& batch,
                                  SwapBatch::Done done) const
{
    convert(Conversion::compress, url, threshold, batch, std::move(done));
}

void FileCompressor::decompressFile(const std::filesystem::path& url, std::int64_t threshold, SwapBatch& batch,
                                    SwapBatch::Done done) const
{
    convert(Conversion::decompress, url, threshold, batch, std::move(done));
}

void replaceWithEmptyFile(const std::filesystem::path& url)
{
    convertNow(Conversion::decompress, url, FileCompressor::streamingThreshold, &emptyingRoad());
}

}  // namespace kelvane::engine
