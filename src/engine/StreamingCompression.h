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

class TemporaryFile;

// The pieces of the streamed road for large files: the fork is written chunk
// by chunk into the temporary file, each block proven as it is made, and the
// finished file is read back through the file system before the swap.
// Memory stays at one chunk plus one read-back chunk whatever the file's size.

// Writes the fork of the file read through `sourceFd` (the locked
// descriptor) into the temporary file; its chunks and blocks live in
// `buffers`. Returns the digest of the file's bytes. Throws
// compressionDidNotReduceSize when the fork is not smaller than the file.
platform::Sha256Digest writeResourceForkStreaming(const std::filesystem::path& url, int sourceFd,
                                                  const std::filesystem::path& temporaryUrl, std::int64_t size,
                                                  WorkBuffers& buffers);

// Reads the finished temporary file back through the file system, which by
// now decompresses it, and compares length and digest with the source.
void verifyReadback(const TemporaryFile& temporary, const platform::Sha256Digest& expectedDigest,
                    std::int64_t expectedSize, const std::filesystem::path& url, ByteBuffer& buffer);

// Read-back chunk size, shared with the streaming decompression.
inline constexpr std::size_t streamingChunkSize = 4194304;

// Reads `handle` to its end in chunks of at most streamingChunkSize bytes
// (into `buffer`), handing each chunk to `onChunk`, and returns the count of
// bytes read. A failed read throws an ioError about `url` with the text of
// PosixError(failedRead).
std::int64_t readInChunks(platform::FileHandle& handle, const std::filesystem::path& url, std::string_view failedRead,
                          const std::function<void(std::span<const std::uint8_t>)>& onChunk, ByteBuffer& buffer);

}  // namespace kelvane::engine
