// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <stop_token>

namespace kelvane::discovery {

// Counts the regular files in a folder the way the search walks it (same
// package rule, links not followed); hidden files count like any other.
class FolderFileCounter {
public:
    // On the calling thread (a caller with a window runs it on the worker
    // pool with its task's stop token). Throws FolderFileCounterError before the walk,
    // CancellationError once `stop` is requested.
    std::int64_t countFiles(const std::filesystem::path& folder, bool includeSubfolders,
                            std::stop_token stop = {}) const;
};

}  // namespace kelvane::discovery
