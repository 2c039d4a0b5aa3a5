// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileStat.h"
#include "platform/UniqueFd.h"

#include <filesystem>

namespace kelvane::engine {

// The checks every per-file operation starts with.

// lstat without following links, then: symbolicLink, notARegularFile,
// hardLinked (in that order). Throws FileCompressionError.
platform::FileStat lstatSnapshot(const std::filesystem::path& url);

// The file opened read-only and locked with a non-blocking exclusive flock;
// another holder gives fileInUse, and a link or another file in place of the
// snapshot's file fileChangedDuringOperation. The caller keeps the descriptor
// (and the lock) to the end of the operation, and reads the file's data,
// attributes and ACL through it only: the path may name another file by then.
// Throws FileCompressionError.
platform::UniqueFd openAndLock(const std::filesystem::path& url, const platform::FileStat& snapshot);

}  // namespace kelvane::engine
