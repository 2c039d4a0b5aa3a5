// SPDX-License-Identifier: MIT
#pragma once

#include "fs/BlockCache.h"
#include "fs/NodeTable.h"
#include "platform/FileHandle.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>

namespace kelvane::fs {

class FolderView;

// An inode open for reading through one node. The kernel keeps one page
// cache per node, whatever inode is at its name, so once a write through the
// mount goes to another inode there that holds the same contents (the mount
// decompressed the file before the write, or Kelvane swapped it since the
// open), `current` holds that file, and the reads go on there: the written
// bytes show, and an appended tail is not read as the end of the file.
struct OpenInode {
    std::int64_t size = 0;  // what the inode held when opened
    timespec mtime{};
    platform::UniqueFd current;  // set once, before `replaced`
    std::atomic<bool> replaced{false};
};

// A file open through the mount. A compressed file is read through the
// platform's decoding (`decoded`); `fd` then holds its stored data, for locks.
// Once a write through the mount went to another inode at the name, `inode`
// of a file open for reading holds that file, and reads go there.
struct OpenFile {
    platform::UniqueFd fd;
    std::shared_ptr<const platform::FileHandle> decoded;
    BlockCache::FileKey key;
    std::atomic<std::uint64_t> nextOffset{0};
    FolderView* view = nullptr;
    NodeTable::Id node = 0;
    std::shared_ptr<OpenInode> inode;

    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile();

    // The file that took the opened one's place, or -1.
    int replacement() const
    {
        return inode && inode->replaced.load(std::memory_order_acquire) ? inode->current.get() : -1;
    }
};

}  // namespace kelvane::fs
