// SPDX-License-Identifier: MIT
#pragma once

#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

#include "fs/BlockCache.h"
#include "fs/NodeTable.h"
#include "fs/WorkerPool.h"
#include "platform/UniqueFd.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace kelvane::fs {

struct ServeOptions {
    std::size_t cacheBytes = 64u << 20;  // decoded blocks kept for all open files
    unsigned readAheadThreads = 2;
    unsigned readAheadBlocks = 8;  // decoded ahead of a sequential reader
    double timeout = 1.0;  // seconds the kernel may keep names and attributes
    unsigned listingHelpers = 7;  // threads that probe the entries of a listing beside its own
};

// The file system `kelvanefs` mounts: every request served relative to the
// descriptor of the folder below the mount. Compressed files show their
// logical size and read as their original bytes; the stand-in's records and
// Kelvane's marked temporary files stay out of sight; everything else passes
// through unchanged.
class KelvaneFs {
public:
    KelvaneFs(platform::UniqueFd folder, const ServeOptions& options);

    static const fuse_lowlevel_ops& operations();

    int folderFd() const { return folder_.get(); }
    NodeTable& nodes() { return nodes_; }
    BlockCache& cache() { return cache_; }
    WorkerPool& listingHelpers() { return listingHelpers_; }
    const ServeOptions& options() const { return options_; }
    // Held while a compressed file is decompressed before a write, one lock
    // for several files chosen by their inode.
    std::mutex& decompressionLock(std::uint64_t dev, std::uint64_t ino)
    {
        return decompressionLocks_[(dev * 31 + ino) % decompressionLocks_.size()];
    }

    // A compressed inode open for reading through the mount. Once the mount
    // has decompressed it before a write, `plain` holds the plain file that
    // took its name, and those reads go on there: the written bytes show.
    struct OpenCompressed {
        platform::UniqueFd plain;  // set once, before `replaced`
        std::atomic<bool> replaced{false};
    };
    // The record shared by the open files of inode (dev, ino); kept while
    // one holds it.
    std::shared_ptr<OpenCompressed> openedCompressed(std::uint64_t dev, std::uint64_t ino);
    void closedCompressed(std::shared_ptr<OpenCompressed> inode, std::uint64_t dev, std::uint64_t ino);
    // Inode (dev, ino) was decompressed into the plain file now at `relative`.
    void decompressed(std::uint64_t dev, std::uint64_t ino, const std::string& relative);
    // How many times decompressed() was called.
    std::uint64_t decompressionCount() const { return decompressions_.load(); }

private:
    platform::UniqueFd folder_;
    ServeOptions options_;
    NodeTable nodes_;
    BlockCache cache_;
    WorkerPool listingHelpers_;
    std::array<std::mutex, 16> decompressionLocks_;
    std::mutex openCompressedMutex_;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::weak_ptr<OpenCompressed>> openCompressed_;
    std::atomic<std::uint64_t> decompressions_{0};
};

}  // namespace kelvane::fs
