// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/FileCandidate.h"
#include "discovery/SearchCriteria.h"
#include "discovery/SearchProgress.h"
#include "platform/FileStat.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <stop_token>
#include <vector>

namespace kelvane::discovery {

// Finds the files under one folder that satisfy a SearchCriteria, in one pass
// (see DirectoryWalker for what is entered). Keeps no state between searches:
// one searcher may run any number of them, also at once.
//
// Callbacks run on the searching thread, one at a time and in order, and the
// walk waits for each; a caller that updates its own thread's state posts
// there from the callback. Progress is reported after every 100 counted
// entries and once more at the end (not after a failure or cancellation).
class FileSystemSearcher {
public:
    // Must be safe to call from any thread.
    using CompressionChecker = std::function<bool(const std::filesystem::path&)>;
    using ProgressCallback = std::function<void(const SearchProgress&)>;
    using MatchCallback = std::function<void(const FileCandidate&)>;
    using Results = std::vector<FileCandidate>;

    static bool defaultCompressionChecker(const std::filesystem::path&) { return false; }
    // Answers from the file's compressed flag (one lstat); false when unreadable.
    // The platform's hidden rule, from a file's name and flags.
    static bool isHidden(std::string_view name, std::uint32_t flags);

    static bool compressedFlagChecker(const std::filesystem::path& url);

    explicit FileSystemSearcher(CompressionChecker compressionChecker = defaultCompressionChecker);

    // Searches on the calling thread (a caller with a window runs it on the
    // worker pool with its task's stop token). Throws FileSystemSearchError
    // before the walk starts, CancellationError once `stop` is requested; the
    // matches found until then have already reached `onMatch`.
    Results search(const SearchCriteria& criteria, const ProgressCallback& progress = {},
                   const MatchCallback& onMatch = {}, std::stop_token stop = {}) const;

private:
    static void validateRoot(const std::filesystem::path& root);
    std::optional<FileCandidate> makeCandidate(const std::string& path, std::string_view name,
                                               const platform::FileStat& stat) const;

    CompressionChecker compressionChecker_;
    bool checkerIsDefault_ = false;
};

}  // namespace kelvane::discovery
