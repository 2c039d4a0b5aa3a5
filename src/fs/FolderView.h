// SPDX-License-Identifier: MIT
#pragma once

#include "fs/BlockCache.h"
#include "fs/FolderWatch.h"
#include "fs/NodeTable.h"
#include "fs/OpenFile.h"
#include "fs/WorkerPool.h"
#include "platform/UniqueFd.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <thread>
#include <tuple>
#include <vector>

namespace kelvane::fs {

struct ServeOptions {
    std::size_t cacheBytes = 64u << 20;  // decoded blocks kept for all open files
    unsigned readAheadThreads = 2;
    unsigned readAheadBlocks = 8;  // decoded ahead of a sequential reader
    double timeout = 1.0;  // seconds the kernel may keep names and attributes unwatched
    // ... and while every folder it knows is watched (FolderWatch), which
    // tells it of each change below.
    double watchedTimeout = 24 * 3600.0;
    unsigned listingHelpers = 7;  // threads that probe the entries of a listing beside its own
};

// The folder below a kelvanefs mount as other programs see it, without the
// kernel's protocol: every request is served relative to the folder's
// descriptor. Compressed files show their logical size and read as their
// original bytes; the stand-in's records and Kelvane's marked temporary files
// stay out of sight; a change to a compressed file first undoes its
// compression; everything else passes through unchanged. Each call answers
// 0 or an errno. Thread-safe.
class FolderView {
public:
    using Id = NodeTable::Id;

    // A name the kernel may keep: its node (one lookup counted) and attributes.
    struct Entry {
        Id id = 0;
        struct stat attr {};
        double attrTimeout = 0;
        double entryTimeout = 0;
    };

    // What setattr asks to change, and the new values in `values`.
    struct AttributeChange {
        bool mode = false, uid = false, gid = false, size = false;
        bool atime = false, atimeNow = false, mtime = false, mtimeNow = false;
        struct stat values {};
    };

    // How the kernel is to treat a file it opened.
    struct OpenAnswer {
        bool keepCache = false;  // its cached contents still hold
        bool noFlush = false;    // no flush request at close
    };

    // The answer to a read: either `pieces` of decoded blocks (kept alive by
    // `held`), or `bytesFd` to read from at the request's offset.
    struct ReadAnswer {
        int error = 0;
        std::vector<BlockCache::Block> held;
        std::vector<iovec> pieces;
        int bytesFd = -1;
    };

    // A folder open for listing.
    struct OpenFolder {
        DIR* dir = nullptr;
        off_t offset = 0;
        dirent* entry = nullptr;
        std::mutex mutex;
        OpenFolder() = default;
        OpenFolder(const OpenFolder&) = delete;
        OpenFolder& operator=(const OpenFolder&) = delete;
        ~OpenFolder();
    };

    // An entry of a listing; `entry` filled when listed with attributes.
    struct ListedEntry {
        std::string name;
        off_t next = 0;
        Entry entry;
        bool shown = true;
    };
    // The room an entry named so takes in the kernel's buffer.
    using EntrySize = std::function<std::size_t(const char* name)>;

    FolderView(platform::UniqueFd folder, const ServeOptions& options);
    ~FolderView();

    // Removes the temporary files killed operations left below, on a thread
    // of its own (see sweepLeftovers); stopped when the view goes.
    void startSweep();
    // Waits for that sweep to end (tests).
    void waitForSweep();

    int folderFd() const { return folder_.get(); }
    // Tells `sink` of every change below from now on, and lets the kernel
    // keep names, attributes and listings for long meanwhile.
    bool startWatching(FolderWatch::Sink sink);
    void stopWatching() { watch_.stop(); }
    // Whether the kernel may keep what it learns: every folder it knows is watched.
    bool watched() const { return watch_.complete(); }
    NodeTable& nodes() { return nodes_; }
    BlockCache& cache() { return cache_; }
    const ServeOptions& options() const { return options_; }

    // --- names and attributes
    int lookUp(Id parent, const std::string& name, Entry& out);
    void forget(Id id, std::uint64_t count);
    // Of node `id`, or of the open `file` once the node lost its name.
    int attributes(Id id, const OpenFile* file, struct stat& out, double& timeout);
    int setAttributes(Id id, OpenFile* file, const AttributeChange& change, struct stat& out, double& timeout);
    int readLink(Id id, std::string& target);
    int makeNode(Id parent, const std::string& name, mode_t mode, dev_t rdev, Entry& out);
    int makeFolder(Id parent, const std::string& name, mode_t mode, Entry& out);
    int makeSymlink(const std::string& target, Id parent, const std::string& name, Entry& out);
    int link(Id id, Id newParent, const std::string& newName, Entry& out);
    int remove(Id parent, const std::string& name, bool folder);
    int rename(Id parent, const std::string& name, Id newParent, const std::string& newName, unsigned flags);

    // --- files
    int open(Id id, int flags, std::unique_ptr<OpenFile>& out, OpenAnswer& answer);
    // The entry counts one lookup of the new node.
    int create(Id parent, const std::string& name, mode_t mode, int flags, std::unique_ptr<OpenFile>& out,
               Entry& entry, OpenAnswer& answer);
    ReadAnswer read(OpenFile& file, std::size_t size, off_t offset);
    int write(OpenFile& file, const char* data, std::size_t size, off_t offset, std::size_t& written);
    int flush(OpenFile& file);
    int fsync(OpenFile& file, bool dataOnly);
    int fallocate(OpenFile& file, int mode, off_t offset, off_t length);
    int flock(OpenFile& file, int operation);

    // --- folders
    int openFolder(Id id, std::unique_ptr<OpenFolder>& out);
    // The entries from `offset` on that fit `room`, marked temporaries left
    // out; with attributes (and a lookup counted for each shown) when `plus`.
    int list(Id id, OpenFolder& folder, off_t offset, std::size_t room, bool plus, const EntrySize& sizeOf,
             std::vector<ListedEntry>& out);
    int fsyncFolder(OpenFolder& folder, bool dataOnly);
    int statfs(struct statvfs& out);
    int access(Id id, int mask);

    // --- extended attributes: the length or -1 (errno); a zero `size` asks for the length
    ssize_t getAttribute(Id id, const char* name, char* value, std::size_t size);
    ssize_t listAttributes(Id id, char* list, std::size_t size);
    int setAttribute(Id id, const char* name, const char* value, std::size_t size, int flags);
    int removeAttribute(Id id, const char* name);

    // --- the open inodes of nodes (see OpenInode)
    // The record shared by the open files of inode view.(dev, ino) through
    // `node`; kept while one holds it.
    std::shared_ptr<OpenInode> opened(Id node, const platform::FileStat& view);
    void closed(std::shared_ptr<OpenInode> inode, Id node, std::uint64_t dev, std::uint64_t ino);
    // A write through node `node` is about to go to the plain file now at
    // `relative`: the reads of the other inodes open through the node that
    // held the same contents go on there.
    void writing(Id node, const std::string& relative);
    // The compressed file at `relative` was decompressed in place: whoever
    // reads it decoded, through any of its names, reads it as it is now.
    void rewrittenInPlace(const std::string& relative);
    // How many times writing() was called.
    std::uint64_t writeCount() const { return writes_.load(); }

private:
    int attributesOf(Id id, const std::string& relative, struct stat& st);
    double attributeTimeout(Id id, const struct stat& st);
    double entryTimeout() const { return watched() ? options_.watchedTimeout : options_.timeout; }
    bool everyNameKnown(Id id, dev_t dev, ino_t ino, nlink_t names);
    void fillEntry(Id id, const struct stat& st, Entry& entry);
    // After a change of node `id`'s inode through it: the kernel drops what
    // it keeps of the inode's other names.
    void changedThrough(Id id);
    void tellOtherNames(const std::vector<Id>& others);
    void heard(FolderWatch::Change change, Id folder, const std::string& name);
    template <class Make>
    int makeEntry(Id parent, const std::string& name, Entry& out, Make make);
    int truncate(Id id, OpenFile* file, const std::optional<std::string>& relative, off_t size);
    bool isMarkedTemporary(const std::string& relative);
    bool isMarkedTemporaryNow(const std::string& relative);
    bool isOverwritten(const platform::FileStat& view, int fd, int folderFd, const std::string& relative);
    bool foundOverwritten(int fd, const BlockCache::FileKey& key);
    template <class Undo>
    int undoCompression(Id id, const std::string& relative, Undo undo);
    int decompressBeforeWriting(Id id, const std::string& relative);
    int emptyBeforeWriting(Id id, const std::string& relative);
    int firstChange(OpenFile& file, bool toEmpty);
    int openTruncating(Id id, const std::string& relative, int flags, mode_t mode, std::unique_ptr<OpenFile>& out,
                       OpenAnswer& answer);
    std::mutex& decompressionLock(std::uint64_t dev, std::uint64_t ino)
    {
        return decompressionLocks_[(dev * 31 + ino) % decompressionLocks_.size()];
    }
    int openHandle(Id id, const std::string& relative, int flags, mode_t mode, std::unique_ptr<OpenFile>& out,
                   OpenAnswer& answer, bool trustProbe = true);
    int checkDecodes(OpenFile& file, const platform::FileStat& view, const std::string& relative);
    void readDecoded(OpenFile& file, std::size_t size, off_t offset, ReadAnswer& answer);
    std::vector<ListedEntry> readEntries(OpenFolder& folder, std::size_t room, const EntrySize& sizeOf, int& error);
    void probeListed(Id id, const std::string& base, OpenFolder& folder, std::vector<ListedEntry>& listed);
    void listNames(const std::string& base, OpenFolder& folder, std::size_t room, const EntrySize& sizeOf,
                   std::vector<ListedEntry>& out, int& error);

    platform::UniqueFd folder_;
    ServeOptions options_;
    NodeTable nodes_;
    BlockCache cache_;
    WorkerPool listingHelpers_;
    // Held while a compressed file is decompressed before a write, one lock
    // for several files chosen by their inode.
    std::array<std::mutex, 16> decompressionLocks_;
    std::mutex openInodesMutex_;
    std::map<std::tuple<Id, std::uint64_t, std::uint64_t>, std::weak_ptr<OpenInode>> openInodes_;
    std::atomic<std::uint64_t> writes_{0};
    std::mutex overwrittenMutex_;
    std::map<BlockCache::FileKey, bool> forkVerdicts_;  // true: another program wrote over the fork
    std::jthread sweep_;
    FolderWatch::Sink tell_;  // tells the kernel; set before the watch starts
    FolderWatch watch_;
};

}  // namespace kelvane::fs
