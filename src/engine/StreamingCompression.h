#pragma once

#include "engine/CompressionResult.h"
#include "platform/FileStat.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <filesystem>

namespace kelvane::engine {

// The road of large files: the fork is written chunk by chunk into the
// temporary file, each block proven as it is made, and the finished file is
// read back through the file system before the swap. Memory stays at one
// chunk plus one read-back piece whatever the file's size.
CompressionResult compressStreaming(const std::filesystem::path& url, const platform::FileStat& snapshot);

// Read-back piece size, shared with the streaming decompression.
inline constexpr std::size_t streamingPieceSize = 4194304;

}  // namespace kelvane::engine
