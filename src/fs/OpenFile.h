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
#include <mutex>

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
    bool decoded = false;  // read through the platform's decoding when opened
    platform::UniqueFd current;  // set once, before `replaced`
    std::atomic<bool> replaced{false};
};

// A file open through the mount. A compressed file is read through the
// platform's decoding (`decoded`); `fd` then holds its stored data, for locks.
// Once a write through the mount went to another inode at the name, `inode`
// of a file open for reading holds that file, and reads go there.
//
// A compressed file opened for writing stays compressed until the first
// change (`writeFlags` kept for then): programs open files read-write
// without writing to them. The change decompresses the file, and `writer`
// then holds the plain file, open with those flags.
struct OpenFile {
    platform::UniqueFd fd;
    std::shared_ptr<const platform::FileHandle> decoded;
    int writeFlags = 0;
    std::mutex changing;  // held by the first change
    platform::UniqueFd writer;  // set once, before `changed`
    std::atomic<bool> changed{false};
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
    // The plain file a first change opened for writing, or -1.
    int changedFile() const { return changed.load(std::memory_order_acquire) ? writer.get() : -1; }
    // Whether the first change is still to come.
    bool waitsForChange() const { return writeFlags != 0 && !changed.load(std::memory_order_acquire); }
    // The descriptor whose inode holds the file's contents now.
    int current() const
    {
        const int changedFd = changedFile();
        const int replaced = replacement();
        return changedFd >= 0 ? changedFd : replaced >= 0 ? replaced : fd.get();
    }
};

}  // namespace kelvane::fs
