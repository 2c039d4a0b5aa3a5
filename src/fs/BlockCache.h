// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileHandle.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kelvane::fs {

// Decoded 64 KiB blocks of compressed files, shared by every open file and
// bounded in bytes (least recently used go first). Two readers that want
// the same block wait for one decode. A small pool of threads decodes the
// blocks a sequential reader will want next, so that its decoding overlaps
// the copying of what it already has.
class BlockCache {
public:
    // A decoded block; its bytes are never zeroed first (a decode fills them).
    struct Bytes {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t length = 0;
        const std::uint8_t* data() const { return bytes.get(); }
        std::size_t size() const { return length; }
    };
    using Block = std::shared_ptr<const Bytes>;

    // Which inode's contents a block belongs to: the inode and its change
    // time, which moves with every write to it.
    struct FileKey {
        dev_t dev = 0;
        ino_t ino = 0;
        std::int64_t ctimeSec = 0;
        long ctimeNsec = 0;
        auto operator<=>(const FileKey&) const = default;
    };

    BlockCache(std::size_t capacityBytes, unsigned readAheadThreads);
    ~BlockCache();
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // Block `index` of the file open in `handle`: decoded here, or taken
    // from the cache. Null with errno set when it does not decode; a
    // failure is not cached.
    Block get(const FileKey& key, const std::shared_ptr<const platform::FileHandle>& handle, std::uint64_t index);

    // Decodes these blocks in the background unless cached or under way.
    void prefetch(const FileKey& key, const std::shared_ptr<const platform::FileHandle>& handle,
                  std::uint64_t first, std::uint64_t count);

    std::size_t bytesHeld() const;
    std::size_t capacity() const { return capacity_; }
    // Buffers kept for the next decodes (at most kMaxSpareBuffers).
    std::size_t spareBuffers() const;
    static constexpr std::size_t kMaxSpareBuffers = 32;

private:
    // Buffers of blocks no longer held by anyone, handed to the next decode.
    // Freed and allocated afresh instead, they cost a tenth of the daemon's
    // time with four readers (perf): the allocator gave the pages back with
    // madvise, each with a flush of the other threads' address translations,
    // and the next decode faulted them in again. Shared with the blocks'
    // deleters, which may outlive the cache.
    class SpareBuffers;
    struct Slot {
        std::shared_future<Block> block;
        // Set while a read-ahead job waits for a thread: whoever starts the
        // decode first (a worker, or a reader that wants it now) takes it.
        std::shared_ptr<std::promise<Block>> queued;
        std::size_t bytes = 0;
        bool ready = false;
        std::list<std::pair<FileKey, std::uint64_t>>::iterator age;
    };
    using SlotKey = std::pair<FileKey, std::uint64_t>;
    struct SlotKeyHash {
        std::size_t operator()(const SlotKey& key) const noexcept;
    };

    Block decodeInto(const SlotKey& key, const std::shared_ptr<const platform::FileHandle>& handle,
                     std::promise<Block>& promise);
    // Starts the queued decode of `key` on this thread, if still queued.
    void runQueued(const SlotKey& key, const std::shared_ptr<const platform::FileHandle>& handle);
    void evictLocked();
    void worker();
    void startWorkersLocked();

    const std::size_t capacity_;
    const std::shared_ptr<SpareBuffers> spares_;
    mutable std::mutex mutex_;
    // Hashed: the ordered map's lookups were 3% of the daemon's time with
    // four readers, every request looking up each block it wants and each it
    // may prefetch.
    std::unordered_map<SlotKey, Slot, SlotKeyHash> slots_;
    std::list<SlotKey> ages_;  // front: most recently used
    std::size_t held_ = 0;

    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    const unsigned workerCount_;
    std::vector<std::thread> workers_;  // started with the first prefetch (after a daemon's fork)
};

}  // namespace kelvane::fs
