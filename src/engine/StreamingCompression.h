// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionResult.h"
#include "engine/WorkBuffers.h"
#include "platform/FileHandle.h"
#include "platform/FileStat.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>

namespace kelvane::engine {

// The road of large files: the fork is written chunk by chunk into the
// temporary file, each block proven as it is made, and the finished file is
// read back through the file system before the swap. Memory stays at one
// chunk plus one read-back chunk whatever the file's size.
// The file's bytes are read through `sourceFd`, the locked descriptor; the
// chunks and blocks live in `buffers`.
CompressionResult compressStreaming(const std::filesystem::path& url, int sourceFd,
                                    const platform::FileStat& snapshot, WorkBuffers& buffers);

// Read-back chunk size, shared with the streaming decompression.
inline constexpr std::size_t streamingChunkSize = 4194304;

// Reads `handle` to its end in chunks of at most streamingChunkSize bytes
// (into `buffer`), handing each chunk to `onChunk`, and returns the count of
// bytes read. A failed read throws an ioError about `url` with the text of
// PosixError(failedRead).
std::int64_t readInChunks(platform::FileHandle& handle, const std::filesystem::path& url, std::string_view failedRead,
                          const std::function<void(std::span<const std::uint8_t>)>& onChunk, ByteBuffer& buffer);

}  // namespace kelvane::engine
