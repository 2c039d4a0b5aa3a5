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
#include <tuple>
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

    // An inode open for reading through node `node`. The kernel keeps one
    // page cache per node, whatever inode is at its name, so once a write
    // through the mount goes to another inode there that holds the same
    // contents (the mount decompressed the file before the write, or Kelvane
    // swapped it since the open), `current` holds that file, and the reads
    // go on there: the written bytes show, and an appended tail is not read
    // as the end of the file.
    struct OpenInode {
        std::int64_t size = 0;  // what the inode held when opened
        timespec mtime{};
        platform::UniqueFd current;  // set once, before `replaced`
        std::atomic<bool> replaced{false};
    };
    // The record shared by the open files of inode view.(dev, ino) through
    // `node`; kept while one holds it.
    std::shared_ptr<OpenInode> opened(NodeTable::Id node, const platform::FileStat& view);
    void closed(std::shared_ptr<OpenInode> inode, NodeTable::Id node, std::uint64_t dev, std::uint64_t ino);
    // A write through node `node` is about to go to the plain file now at
    // `relative`: the reads of the other inodes open through the node that
    // held the same contents go on there.
    void writing(NodeTable::Id node, const std::string& relative);
    // How many times writing() was called.
    std::uint64_t writeCount() const { return writes_.load(); }

private:
    platform::UniqueFd folder_;
    ServeOptions options_;
    NodeTable nodes_;
    BlockCache cache_;
    WorkerPool listingHelpers_;
    std::array<std::mutex, 16> decompressionLocks_;
    std::mutex openInodesMutex_;
    std::map<std::tuple<NodeTable::Id, std::uint64_t, std::uint64_t>, std::weak_ptr<OpenInode>> openInodes_;
    std::atomic<std::uint64_t> writes_{0};
};

}  // namespace kelvane::fs
