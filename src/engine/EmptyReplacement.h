// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace kelvane::engine {

// Makes a compressed file empty and plain without decoding a byte of it: a
// new empty file carrying the file's metadata (owner, attributes, ACL, mode,
// creation date, flags without UF_COMPRESSED) is swapped in by one rename,
// as every road swaps, so a crash leaves either the compressed file or the
// empty one. A truncation to zero needs nothing more, and no room for the
// decoded bytes. The times are those of a truncation: now.
// Throws FileCompressionError as decompressFile does (notCompressed,
// hardLinked, fileInUse, fileChangedDuringOperation, ioError, ...).
void replaceWithEmptyFile(const std::filesystem::path& url);

}  // namespace kelvane::engine
