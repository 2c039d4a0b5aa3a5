// SPDX-License-Identifier: MIT
#include "engine/WorkBuffers.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <thread>

namespace kelvane::engine {
namespace {

using namespace fixtures;

// A worker keeps its buffers from file to file, but never the memory of a file
// held whole above the default threshold (a caller's larger threshold): that
// would stay allocated for as long as the worker lives.
TEST(WorkBuffersTest, AWorkerKeepsItsBuffersButNotThoseOfAnOversizedFile)
{
    test::TempDir dir;
    const FileCompressor compressor;
    const Bytes small = textBytes(3 << 20, 60);
    const Bytes large = textBytes(FileCompressor::streamingThreshold + (2 << 20), 61);
    // In a thread of its own, so that what it keeps is its own.
    std::thread worker([&] {
        const Path first = dir / "small";
        test::writeRawFile(first, small);
        compressor.compressFile(first);
        {
            const WorkBuffers::Lease buffers;
            EXPECT_GE(buffers->source.capacity(), small.size()) << "kept for the next file";
            EXPECT_GT(buffers->fork.capacity(), 0u);
        }
        const Path second = dir / "large";
        test::writeRawFile(second, large);
        compressor.compressFile(second, std::int64_t{1} << 30);  // held whole in memory
        EXPECT_EQ(readThroughLayer(second), large);
        const WorkBuffers::Lease buffers;
        EXPECT_EQ(buffers->source.capacity(), 0u) << "the file's bytes were given back";
        EXPECT_LT(buffers->fork.capacity(), large.size());
    });
    worker.join();
}

}  // namespace
}  // namespace kelvane::engine
