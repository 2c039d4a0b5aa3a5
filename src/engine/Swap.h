// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionResult.h"
#include "engine/CompressionType.h"
#include "engine/FolderTimeKeeper.h"
#include "engine/TemporaryFile.h"
#include "platform/FileStat.h"
#include "platform/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace kelvane::engine {

struct Road;
struct RoadWork;

// A file's replacement, made and proven beside it, waiting to be swapped in.
// It holds the file's lock until then; dropped, it removes its temporary file
// and the file stays as it was.
class PreparedSwap {
public:
    PreparedSwap(PreparedSwap&&) noexcept = default;
    PreparedSwap& operator=(PreparedSwap&&) = delete;

    const std::filesystem::path& url() const { return url_; }
    // The file's logical size: what flushing its replacement may cost.
    std::int64_t size() const { return snapshot_.size; }

private:
    friend PreparedSwap prepareSwap(const Road& road, RoadWork& work, platform::UniqueFd lock);
    friend class SwapBatch;

    PreparedSwap(const Road& road, RoadWork& work, platform::UniqueFd lock, FolderTimeKeeper folderTimes,
                 TemporaryFile temporary);

    std::filesystem::path url_;
    platform::FileStat snapshot_;
    platform::UniqueFd lock_;
    FolderTimeKeeper folderTimes_;  // before the temporary file: lets go after it is gone
    TemporaryFile temporary_;
    bool compressed_;
    std::int64_t written_;
    std::optional<CompressionType> algorithm_;
};

// Everything of the swap but its commit: the road's in-memory work, the
// temporary file beside the file, its data, the file's metadata, the road's
// records, times and mode, flags, and the road's proof. Nothing on disk
// changes before the temporary file exists, and the file itself is never
// written. The commit (SwapBatch) flushes the replacement, checks that the
// file did not change, renames the replacement over it and flushes the
// folder; the folder then gets its time back (FolderTimeKeeper).
// `lock` is the locked descriptor `work` reads through. Throws
// FileCompressionError.
PreparedSwap prepareSwap(const Road& road, RoadWork& work, platform::UniqueFd lock);

}  // namespace kelvane::engine
