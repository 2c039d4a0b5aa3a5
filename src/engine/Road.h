// SPDX-License-Identifier: MIT
#pragma once

#include "engine/ByteBuffer.h"
#include "engine/CompressionType.h"
#include "engine/Eligibility.h"
#include "engine/WorkBuffers.h"
#include "platform/FileStat.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kelvane::engine {

class TemporaryFile;

// What one operation carries from step to step of its road.
struct RoadWork {
    const std::filesystem::path& url;
    const platform::FileStat& snapshot;
    int lockFd;  // the locked descriptor: the file's bytes are read through it only
    WorkBuffers& buffers;

    // Filled by the roads.
    std::optional<CompressionType> algorithm;  // compression only
    std::vector<std::uint8_t> decmpfsXattr;
    std::optional<std::span<const std::uint8_t>> resourceFork;  // in buffers.fork
    platform::Sha256Digest digest{};
    std::int64_t written = 0;  // decompression: bytes of the plain file
};

// One way of building a file's replacement. Every road has this shape, so
// the swap around it (Swap.h) is written once: work done before anything
// exists on disk, the data stream written before the file's metadata is
// copied (a write clears the set-id bits and capabilities copied before
// it), the compressed records written after it, and an optional proof of the
// finished temporary file through the file system. A step a road does not
// need is null.
struct Road {
    std::string_view name;
    bool compressed;  // the replacement carries UF_COMPRESSED
    bool keepsTimes;  // the file's times carry over (not for a truncation, which is a change)
    void (*prepare)(RoadWork&);
    void (*writeData)(RoadWork&, TemporaryFile&);
    void (*writeRecords)(RoadWork&, TemporaryFile&);
    void (*prove)(RoadWork&, const TemporaryFile&);
};

// The road a file of `size` bytes takes: in memory below `streamingThreshold`,
// streamed in chunks from it on.
const Road& selectRoad(Conversion conversion, std::int64_t size, std::int64_t streamingThreshold);

// The road of a truncation to zero: the file becomes empty and plain, and
// nothing of it is decoded.
const Road& emptyingRoad();

}  // namespace kelvane::engine
