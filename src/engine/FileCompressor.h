// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionResult.h"
#include "engine/SwapBatch.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <filesystem>

namespace kelvane::engine {

// Compresses or decompresses one file in place. The file itself is never
// written: a complete replacement is built beside it, proven by decoding, and
// swapped in with one rename after checking that the file did not change.
// What may be done to a file is decided by Eligibility, the way by the road
// table (Road.h), and the swap is the one of Swap.h and SwapBatch.h.
// Synchronous; calls on different files may run at once, and a flock keeps
// two calls on one file apart (the second gets fileInUse).
struct FileCompressor {
    // Files at or above this size are streamed instead of held in memory.
    static constexpr std::int64_t streamingThreshold = decmpfs::streamingThreshold;

    // Throws FileCompressionError, and unchanged LZFSEError, DecmpfsInlineError
    // and ResourceForkError.
    CompressionResult compressFile(const std::filesystem::path& url,
                                   std::int64_t streamingThreshold = FileCompressor::streamingThreshold) const;

    // Throws FileCompressionError.
    CompressionResult decompressFile(const std::filesystem::path& url,
                                     std::int64_t streamingThreshold = FileCompressor::streamingThreshold) const;

    // The same as part of `batch`: the replacement is made and proven now
    // (whatever fails until then is thrown now, before anything changed),
    // and swapped in when the batch commits, which tells `done`.
    void compressFile(const std::filesystem::path& url, std::int64_t streamingThreshold, SwapBatch& batch,
                      SwapBatch::Done done) const;
    void decompressFile(const std::filesystem::path& url, std::int64_t streamingThreshold, SwapBatch& batch,
                        SwapBatch::Done done) const;
};

}  // namespace kelvane::engine
