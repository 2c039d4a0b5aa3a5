// SPDX-License-Identifier: MIT
#include "fs/KelvaneFs.h"

#include "fs/OpenBelow.h"

#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/DecmpfsFormat.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/MountedAttributes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace kelvane::fs {

namespace {

using Id = NodeTable::Id;

constexpr std::string_view kTemporarySuffix = ".kvtmp";

KelvaneFs& self(fuse_req_t req) { return *static_cast<KelvaneFs*>(fuse_req_userdata(req)); }

void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logLine(const char* format, ...)
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fputs("kelvanefs: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

const std::string kTemporaryMarker = "user." + std::string(engine::TemporaryFile::markerName);

// A file open through the mount. A compressed file is read through the
// platform's decoding (`decoded`); `fd` then holds its stored data, for locks.
// Once a write through the mount went to another inode at the name, `inode`
// of a file open for reading holds that file, and reads go there.
struct OpenFile {
    platform::UniqueFd fd;
    std::shared_ptr<const platform::FileHandle> decoded;
    BlockCache::FileKey key;
    std::atomic<std::uint64_t> nextOffset{0};
    KelvaneFs* fs = nullptr;
    Id node = 0;
    std::shared_ptr<KelvaneFs::OpenInode> inode;

    ~OpenFile()
    {
        if (inode)
            fs->closed(std::move(inode), node, key.dev, key.ino);
    }
    // The file that took the opened one's place, or -1.
    int replacement() const
    {
        return inode && inode->replaced.load(std::memory_order_acquire) ? inode->current.get() : -1;
    }
};

struct OpenFolder {
    DIR* dir = nullptr;
    off_t offset = 0;
    dirent* entry = nullptr;
    std::mutex mutex;
    ~OpenFolder()
    {
        if (dir)
            ::closedir(dir);
    }
};

OpenFile* openFile(fuse_file_info* fi) { return reinterpret_cast<OpenFile*>(fi->fh); }
OpenFolder* openFolder(fuse_file_info* fi) { return reinterpret_cast<OpenFolder*>(fi->fh); }

const char* relativeName(const std::string& relative) { return relative.empty() ? "." : relative.c_str(); }

void toStat(const platform::FileStat& raw, std::int64_t size, struct stat& st)
{
    st = {};
    st.st_ino = raw.ino;
    st.st_mode = raw.mode;
    st.st_nlink = raw.nlink;
    st.st_uid = raw.uid;
    st.st_gid = raw.gid;
    st.st_rdev = raw.rdev;
    st.st_size = size;
    st.st_blocks = raw.blocks;
    st.st_blksize = 4096;
    st.st_atim = raw.atime;
    st.st_mtim = raw.mtime;
    st.st_ctim = raw.ctime;
}

// The attributes of the entry `relative` below the folder `folderFd` as the
// mount shows them: the host's, with the logical size of a compressed file.
// The stand-in's records are read once per inode and change time: while
// `probe` (the one kept for the node) still holds, one statx answers; else
// the records are read afresh into `probe` and `probed` is set.
int probeEntry(int folderFd, const std::string& relative, std::optional<NodeTable::Probe>& probe, bool& probed,
               struct stat& st)
{
    probed = false;
    if (probe) {
        platform::FileStat raw;
        if (platform::lstatBelow(folderFd, relative, raw, false) != 0)
            return errno;
        if (probe->holdsFor(raw)) {
            // Times, links and owner from the fresh call; only a compressed
            // file's size is the view's. A plain file's comes from the fresh
            // call too: writes within one tick of a coarse change time leave
            // the change time as it was.
            toStat(raw, probe->decoded ? probe->view.size : raw.size, st);
            return 0;
        }
    }
    // A new node, or a new inode or change since: the whole view.
    NodeTable::Probe fresh;
    if (platform::lstatBelow(folderFd, relative, fresh.view, true) != 0)
        return errno;
    fresh.decoded = S_ISREG(fresh.view.mode) && (fresh.view.flags & platform::UF_COMPRESSED);
    toStat(fresh.view, fresh.view.size, st);
    probe = fresh;
    probed = true;
    return 0;
}

// The attributes of node `id`, the entry `relative` below the served folder.
int attributesOf(KelvaneFs& fs, Id id, const std::string& relative, struct stat& st)
{
    std::optional<NodeTable::Probe> probe = fs.nodes().probe(id);
    bool probed = false;
    const int error = probeEntry(fs.folderFd(), relative, probe, probed, st);
    if (error == 0 && probed)
        fs.nodes().storeProbe(id, *probe);
    return error;
}

int attributesOfOpen(const OpenFile& file, struct stat& st)
{
    platform::FileStat view;
    const int replacement = file.replacement();
    if (platform::fstat(replacement >= 0 ? replacement : file.fd.get(), view) != 0)
        return errno;
    toStat(view, view.size, st);
    return 0;
}

// A file with several names has one node per name here, each with its own
// attributes and page cache in the kernel: a write through one name must
// show through the others at once, so their attributes are never kept.
double attributeTimeout(const KelvaneFs& fs, const struct stat& st)
{
    return S_ISREG(st.st_mode) && st.st_nlink > 1 ? 0.0 : fs.options().timeout;
}

void replyAttributes(fuse_req_t req, KelvaneFs& fs, Id id, const std::string& relative)
{
    struct stat st;
    if (const int error = attributesOf(fs, id, relative, st))
        fuse_reply_err(req, error);
    else
        fuse_reply_attr(req, &st, attributeTimeout(fs, st));
}

// The entry the kernel gets for node `id` with attributes `st`.
void fillEntry(const KelvaneFs& fs, Id id, const struct stat& st, fuse_entry_param& entry)
{
    entry = {};
    entry.ino = id;
    entry.attr = st;
    entry.attr_timeout = attributeTimeout(fs, st);
    entry.entry_timeout = fs.options().timeout;
}

// Looks `name` up in `parent` and fills the entry the kernel gets (a lookup
// counted for it): 0 or an errno.
int lookUpEntry(KelvaneFs& fs, Id parent, const std::string& name, fuse_entry_param& entry)
{
    const std::optional<std::string> relative = fs.nodes().childPath(parent, name);
    if (!relative)
        return ENOENT;
    struct stat st;
    const Id id = fs.nodes().lookUp(parent, name);
    if (const int error = attributesOf(fs, id, *relative, st)) {
        fs.nodes().forget(id, 1);
        return error;
    }
    fillEntry(fs, id, st, entry);
    return 0;
}

void replyEntry(fuse_req_t req, KelvaneFs& fs, Id parent, const std::string& name)
{
    fuse_entry_param entry;
    if (const int error = lookUpEntry(fs, parent, name, entry))
        fuse_reply_err(req, error);
    else
        fuse_reply_entry(req, &entry);
}

// Whether a listed name is one of Kelvane's temporary files: a name of their
// form that carries the marker, or that is gone by now. A listing serves
// names read from the folder a while ago, and one read before Kelvane renamed
// its temporary file over the original would come back otherwise.
bool isMarkedTemporary(KelvaneFs& fs, const std::string& relative)
{
    const std::string_view view(relative);
    if (view.size() <= kTemporarySuffix.size() || view.substr(view.size() - kTemporarySuffix.size()) != kTemporarySuffix)
        return false;
    if (platform::mounted::hasAttribute(fs.folderFd(), relative, kTemporaryMarker.c_str()))
        return true;
    struct stat st;
    return ::fstatat(fs.folderFd(), relative.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

// Writing undoes compression: a compressed file is decompressed in place
// (the engine's road: temporary file, verified swap) before it is opened
// for writing, truncated or allocated. 0, or EIO when that fails (the file
// stays compressed and intact).
int decompressBeforeWriting(KelvaneFs& fs, const std::string& relative)
{
    // Whether the file below is compressed now: 1, 0, or -1 with errno set.
    const auto compressedNow = [&](platform::FileStat& view) {
        if (platform::lstatBelow(fs.folderFd(), relative, view, true) != 0)
            return -1;
        return S_ISREG(view.mode) && (view.flags & platform::UF_COMPRESSED) ? 1 : 0;
    };
    platform::FileStat view;
    int state = compressedNow(view);
    if (state <= 0)
        return state < 0 ? errno : 0;
    // Write-opens of one file that arrive together (two programs appending
    // to one log) take turns: the engine's lock on the file would fail all
    // but the first with EIO, and after its decompression the others find a
    // plain file.
    std::lock_guard turn(fs.decompressionLock(view.dev, view.ino));
    state = compressedNow(view);
    if (state <= 0)
        return state < 0 ? errno : 0;
    const std::string path = platform::pathBelow(fs.folderFd(), relative);
    try {
        engine::FileCompressor{}.decompressFile(path);
        return 0;
    } catch (const engine::FileCompressionError& error) {
        logLine("decompressing %s before writing failed: %s", relative.c_str(), error.description().c_str());
    } catch (const std::exception& error) {
        logLine("decompressing %s before writing failed: %s", relative.c_str(), error.what());
    }
    return EIO;
}

// --- operations ---------------------------------------------------------------

void init(void*, fuse_conn_info* conn)
{
    // Large requests: fewer round trips per MiB read or written.
    conn->max_write = 1u << 20;
    conn->max_readahead = std::max(conn->max_readahead, 1u << 20);
    for (const unsigned capability : {FUSE_CAP_SPLICE_WRITE, FUSE_CAP_SPLICE_MOVE, FUSE_CAP_FLOCK_LOCKS,
                                      FUSE_CAP_ATOMIC_O_TRUNC, FUSE_CAP_READDIRPLUS, FUSE_CAP_READDIRPLUS_AUTO})
        if (conn->capable & capability)
            conn->want |= capability;
}

void lookup(fuse_req_t req, fuse_ino_t parent, const char* name) { replyEntry(req, self(req), parent, name); }

void forget(fuse_req_t req, fuse_ino_t ino, uint64_t count)
{
    self(req).nodes().forget(ino, count);
    fuse_reply_none(req);
}

void forgetMulti(fuse_req_t req, size_t count, fuse_forget_data* forgets)
{
    for (size_t i = 0; i < count; ++i)
        self(req).nodes().forget(forgets[i].ino, forgets[i].nlookup);
    fuse_reply_none(req);
}

void getattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi)
{
    KelvaneFs& fs = self(req);
    if (const auto relative = fs.nodes().path(ino))
        return replyAttributes(req, fs, ino, *relative);
    struct stat st;
    if (!fi)
        return (void)fuse_reply_err(req, ENOENT);
    if (const int error = attributesOfOpen(*openFile(fi), st))
        return (void)fuse_reply_err(req, error);
    fuse_reply_attr(req, &st, attributeTimeout(fs, st));
}

void setattr(fuse_req_t req, fuse_ino_t ino, struct stat* attr, int toSet, fuse_file_info* fi)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().path(ino);
    OpenFile* file = fi ? openFile(fi) : nullptr;
    if (!relative && !file)
        return (void)fuse_reply_err(req, ENOENT);
    const int root = fs.folderFd();
    const char* name = relative ? relativeName(*relative) : nullptr;
    int result = 0;
    if (toSet & FUSE_SET_ATTR_MODE)
        result = file ? ::fchmod(file->fd.get(), attr->st_mode) : ::fchmodat(root, name, attr->st_mode, 0);
    if (result == 0 && (toSet & (FUSE_SET_ATTR_UID | FUSE_SET_ATTR_GID))) {
        const uid_t uid = (toSet & FUSE_SET_ATTR_UID) ? attr->st_uid : static_cast<uid_t>(-1);
        const gid_t gid = (toSet & FUSE_SET_ATTR_GID) ? attr->st_gid : static_cast<gid_t>(-1);
        result = file ? ::fchown(file->fd.get(), uid, gid) : ::fchownat(root, name, uid, gid, AT_SYMLINK_NOFOLLOW);
    }
    if (result == 0 && (toSet & FUSE_SET_ATTR_SIZE)) {
        if (file && !file->decoded) {
            result = ::ftruncate(file->fd.get(), attr->st_size);
        } else if (!relative) {
            errno = EBADF, result = -1;
        } else if (const int error = decompressBeforeWriting(fs, *relative)) {
            errno = error, result = -1;
        } else if (fs.writing(ino, *relative); const int error = truncateBelow(root, name, attr->st_size)) {
            errno = error, result = -1;
        }
    }
    if (result == 0 && (toSet & (FUSE_SET_ATTR_ATIME | FUSE_SET_ATTR_MTIME))) {
        timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
        if (toSet & FUSE_SET_ATTR_ATIME_NOW)
            times[0].tv_nsec = UTIME_NOW;
        else if (toSet & FUSE_SET_ATTR_ATIME)
            times[0] = attr->st_atim;
        if (toSet & FUSE_SET_ATTR_MTIME_NOW)
            times[1].tv_nsec = UTIME_NOW;
        else if (toSet & FUSE_SET_ATTR_MTIME)
            times[1] = attr->st_mtim;
        result = file ? ::futimens(file->fd.get(), times) : ::utimensat(root, name, times, AT_SYMLINK_NOFOLLOW);
    }
    if (result != 0)
        return (void)fuse_reply_err(req, errno);
    if (relative)
        return replyAttributes(req, fs, ino, *relative);
    struct stat st;
    if (const int error = attributesOfOpen(*file, st))
        return (void)fuse_reply_err(req, error);
    fuse_reply_attr(req, &st, attributeTimeout(fs, st));
}

void readlink(fuse_req_t req, fuse_ino_t ino)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().path(ino);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = ::readlinkat(fs.folderFd(), relativeName(*relative), target.data(), target.size());
    if (length < 0)
        return (void)fuse_reply_err(req, errno);
    if (static_cast<std::size_t>(length) == target.size())
        return (void)fuse_reply_err(req, ENAMETOOLONG);
    target[static_cast<std::size_t>(length)] = '\0';
    fuse_reply_readlink(req, target.data());
}

// Runs `make` (which creates `name` in `parent` relative to the folder)
// and answers with the new entry.
template <class Make>
void makeEntry(fuse_req_t req, fuse_ino_t parent, const char* name, Make make)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().childPath(parent, name);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    if (make(fs.folderFd(), relative->c_str()) != 0)
        return (void)fuse_reply_err(req, errno);
    replyEntry(req, fs, parent, name);
}

void mknod(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, dev_t rdev)
{
    makeEntry(req, parent, name, [&](int root, const char* at) { return ::mknodat(root, at, mode, rdev); });
}

void mkdir(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode)
{
    makeEntry(req, parent, name, [&](int root, const char* at) { return ::mkdirat(root, at, mode); });
}

void symlink(fuse_req_t req, const char* link, fuse_ino_t parent, const char* name)
{
    makeEntry(req, parent, name, [&](int root, const char* at) { return ::symlinkat(link, root, at); });
}

void link(fuse_req_t req, fuse_ino_t ino, fuse_ino_t newParent, const char* newName)
{
    KelvaneFs& fs = self(req);
    const auto existing = fs.nodes().path(ino);
    if (!existing)
        return (void)fuse_reply_err(req, ENOENT);
    makeEntry(req, newParent, newName,
              [&](int root, const char* at) { return ::linkat(root, existing->c_str(), root, at, 0); });
}

void removeEntry(fuse_req_t req, fuse_ino_t parent, const char* name, int flags)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().childPath(parent, name);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    if (::unlinkat(fs.folderFd(), relative->c_str(), flags) != 0)
        return (void)fuse_reply_err(req, errno);
    fs.nodes().removed(parent, name);
    fuse_reply_err(req, 0);
}

void unlink(fuse_req_t req, fuse_ino_t parent, const char* name) { removeEntry(req, parent, name, 0); }
void rmdir(fuse_req_t req, fuse_ino_t parent, const char* name) { removeEntry(req, parent, name, AT_REMOVEDIR); }

void rename(fuse_req_t req, fuse_ino_t parent, const char* name, fuse_ino_t newParent, const char* newName,
            unsigned int flags)
{
    KelvaneFs& fs = self(req);
    const auto from = fs.nodes().childPath(parent, name);
    const auto to = fs.nodes().childPath(newParent, newName);
    if (!from || !to)
        return (void)fuse_reply_err(req, ENOENT);
    if (::renameat2(fs.folderFd(), from->c_str(), fs.folderFd(), to->c_str(), flags) != 0)
        return (void)fuse_reply_err(req, errno);
    fs.nodes().renamed(parent, name, newParent, newName, (flags & RENAME_EXCHANGE) != 0);
    fuse_reply_err(req, 0);
}

// Opens the file at `relative` with `flags` and makes the handle the kernel
// keeps: a compressed file gets the platform's decoding.
int openHandle(KelvaneFs& fs, Id id, const std::string& relative, int flags, mode_t mode, fuse_file_info* fi)
{
    auto file = std::make_unique<OpenFile>();
    file->fs = &fs;
    file->node = id;
    platform::FileStat view;
    for (int attempt = 0;; ++attempt) {
        const std::uint64_t writesBefore = fs.writeCount();
        file->fd = openBelow(fs.folderFd(), relativeName(relative), flags, mode, view);
        if (!file->fd)
            return errno;
        file->key = {view.dev, view.ino, view.ctime.tv_sec, view.ctime.tv_nsec};
        if (!S_ISREG(view.mode) || opensForWriting(flags))
            break;
        // Recorded, so that a write through the mount to another inode at
        // the name (after the mount's decompression, or Kelvane's swap) moves
        // its reads there. One that unlinked it between the open and the
        // record may have missed the record: the open starts again by name.
        // Without such a write meanwhile none did, and the open costs no status.
        file->inode = fs.opened(id, view);
        struct stat now;
        if (attempt == 3 || file->replacement() >= 0 || fs.writeCount() == writesBefore ||
            (::fstat(file->fd.get(), &now) == 0 && now.st_nlink > 0))
            break;
        fs.closed(std::move(file->inode), id, view.dev, view.ino);
    }
    if (S_ISREG(view.mode) && (view.flags & platform::UF_COMPRESSED)) {
        // Decoded by block through a duplicate of the descriptor: reopening it
        // through /proc cost a path walk at every open (the open request's
        // median went from 78-93 us to 68-80 us in re-reads of cached files).
        auto handle = platform::FileHandle::ofDescriptor(file->fd.duplicate());
        if (!handle)
            return errno;
        file->decoded = std::make_shared<const platform::FileHandle>(std::move(*handle));
        // A header or an offset table that does not parse fails the open, as
        // the platform fails the read: the kernel would otherwise see a
        // short or empty file. Such a handle holds no bytes, so past the
        // size check only an empty one needs its first block tried; any
        // other block that does not decode fails its own read. A re-read
        // served from the kernel's pages then costs no decode at its open.
        if (file->decoded->size() != static_cast<std::uint64_t>(view.size) ||
            (file->decoded->size() == 0 && !fs.cache().get(file->key, file->decoded, 0))) {
            logLine("%s does not decode: %s", relative.c_str(), std::strerror(EIO));
            return EIO;
        }
    }
    // The kernel keeps what it cached of the contents unless they changed
    // since the last open (Kelvane's swaps change neither size nor mtime).
    fi->keep_cache = !fs.nodes().contentsChanged(id, view) && view.nlink <= 1;
    // Closing a file opened only for reading has nothing to hand on below:
    // the kernel keeps fcntl locks itself here, and a flock lock ends with
    // the release. The kernel then sends no flush request at every close:
    // one round trip less per file, which a re-read from the kernel's
    // cache otherwise pays beside the open (about 50 us each here).
    fi->noflush = !opensForWriting(fi->flags);
    fi->fh = reinterpret_cast<std::uint64_t>(file.release());
    return 0;
}

void open(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().path(ino);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    if (opensForWriting(fi->flags)) {
        // Refused before anything is decompressed for a caller that may not write.
        if (::faccessat(fs.folderFd(), relativeName(*relative), W_OK, AT_EACCESS) != 0)
            return (void)fuse_reply_err(req, errno);
        if (const int error = decompressBeforeWriting(fs, *relative))
            return (void)fuse_reply_err(req, error);
        fs.writing(ino, *relative);
    }
    if (const int error = openHandle(fs, ino, *relative, fi->flags, 0, fi))
        return (void)fuse_reply_err(req, error);
    if (fuse_reply_open(req, fi) == -ENOENT)
        delete openFile(fi);  // the caller was interrupted
}

void create(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, fuse_file_info* fi)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().childPath(parent, name);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    fuse_entry_param entry;
    const Id id = fs.nodes().lookUp(parent, name);
    // The kernel creates by name when it has not looked the name up yet:
    // the file may well be there, and compressed.
    if (opensForWriting(fi->flags) && !(fi->flags & O_EXCL)) {
        if (const int error = decompressBeforeWriting(fs, *relative); error && error != ENOENT) {
            fs.nodes().forget(id, 1);
            return (void)fuse_reply_err(req, error);
        }
        fs.writing(id, *relative);
    }
    int error = openHandle(fs, id, *relative, fi->flags | O_CREAT, mode, fi);
    if (error == 0) {
        // The entry's lookup is counted before the one taken above is given
        // back, so the node the open file was filed under stays the entry's.
        error = lookUpEntry(fs, parent, name, entry);
        if (error)
            delete openFile(fi);
    }
    fs.nodes().forget(id, 1);
    if (error)
        return (void)fuse_reply_err(req, error);
    if (fuse_reply_create(req, &entry, fi) == -ENOENT)
        delete openFile(fi);
}

void readDecoded(fuse_req_t req, KelvaneFs& fs, OpenFile& file, std::size_t size, off_t offset)
{
    const std::uint64_t logical = file.decoded->size();
    const auto start = static_cast<std::uint64_t>(offset);
    if (start >= logical || size == 0)
        return (void)fuse_reply_buf(req, nullptr, 0);
    const std::uint64_t end = std::min<std::uint64_t>(logical, start + size);
    const std::uint64_t first = start / decmpfs::blockSize;
    const std::uint64_t last = (end - 1) / decmpfs::blockSize;

    // A reader going on near where it stopped gets the next stretch decoded
    // by the read-ahead threads while this one is served. The kernel sends
    // a sequential reader's requests several at a time, so they may arrive
    // a little out of order. The blocks of this request after its first go
    // to those threads too, decoded beside the first one here (a thread
    // that finds one not yet started decodes it itself).
    //
    // One reader reads at about two thirds of bindfs's speed, and not for
    // want of decoded blocks: counted, 80-90% of them were ready when their
    // request came and the rest mostly under way; with the read-ahead topped
    // up 16 blocks at a time by 4 threads only 1% were waited for, and the
    // speed did not move. With every block already in the cache (cache_mib
    // above the files' size, read twice) the same reads ran at 0.93-1.1x
    // bindfs: the difference is the decoding and its bookkeeping running
    // beside the reader, not waiting for them. Tried and left out, each against bindfs over
    // the same files in the same runs (1 reader, warm): pushing the blocks
    // decoded ahead into the kernel's cache with notify_store (0.59-0.75x
    // against 0.61-0.65x without; the pushing threads waited on the page
    // locks of the kernel's own read-ahead and on the cache's lock), also
    // with one block in eight left out as a tripwire for the next request,
    // and pushed only from 2-4 blocks past each request's end (beyond the
    // kernel's own read-ahead), 16-64 blocks at a time by the serving thread
    // once it had replied (slower in 14 of 16 alternated passes: 0.79-1.26
    // GB/s against 0.96-1.25 GB/s without);
    // replies spliced from a memory file holding the blocks instead of
    // written from the daemon's memory; read-ahead threads that spin for
    // new work before sleeping; more read-ahead threads and blocks (4-6
    // threads, 16-32 blocks); a larger read_ahead_kb on the mount's device
    // (only root may set it); direct I/O with 1 MiB requests (slower, and it
    // gives up the kernel's cache for re-reads and shared mappings). None
    // moved the median.
    //
    // Where the time goes instead: where the scheduler puts the threads. A
    // newly mounted daemon serves its first stretch of files at 1.3-1.6 GB/s
    // (about bindfs's speed), and the same files read again at 0.8-1.2 GB/s,
    // with fewer blocks waited for than the first time: what grows is this
    // thread's own time per 256 KiB request (118 -> 180 us) and the gap
    // before the next one (32 -> 100 us), beside 400 thread migrations per
    // 118 MB instead of 20. With every thread of the daemon pinned to a CPU
    // of its own the later reads ran at 1.1-1.7 GB/s too. Pinning threads
    // would fight the rest of the system, so it stays out; so does polling
    // /dev/fuse and the job queue for 200-300 us before sleeping (0.59-0.70x
    // bindfs against 0.52-0.56x in alternating runs, for a core kept busy
    // whenever a file streams).
    //
    // Timed inside this function over one warm pass (913 requests, 118 MB,
    // 1.0-1.2 GB/s): prefetch 7-17 ms, the blocks 32-48 ms (25-40 ms of it
    // waiting for blocks a read-ahead thread had under way, about 90 us per
    // wait), the reply 45-60 ms; with every block cached: 1, 2 and 50 ms, at
    // bindfs's speed. A read-ahead thread decodes a block in 70-80 us here,
    // against 55 us for the same blocks in codec_bench. With 4 read-ahead
    // threads and 16 blocks the waits fell to 3-8 ms, but waking the idle
    // threads took 35-43 ms of prefetch (about 27 us per wake-up on this
    // virtual machine) and the speed stayed. Neither spinning up to 200 us on
    // a block under way, nor waking the threads only after the reply, nor
    // decoding queued blocks on this thread after the reply (worse: 0.53-0.56x
    // bindfs against 0.58-0.64x) moved it. Nor did a single wake-up per
    // request, only when every read-ahead thread slept, each woken thread
    // waking the next while jobs were left (1.36-1.41 GB/s against
    // 1.26-1.37 in alternated passes, bindfs 2.0-2.6).
    constexpr std::uint64_t kNear = 1u << 20;
    const std::uint64_t previous = file.nextOffset.exchange(end);
    const std::uint64_t blocks = (logical + decmpfs::blockSize - 1) / decmpfs::blockSize;
    const bool sequential = start + kNear >= previous && start <= previous + kNear;
    const std::uint64_t through = std::min(blocks, last + 1 + (sequential ? fs.options().readAheadBlocks : 0));
    if (through > first + 1)
        fs.cache().prefetch(file.key, file.decoded, first + 1, through - first - 1);

    std::vector<BlockCache::Block> held;
    std::vector<iovec> pieces;
    for (std::uint64_t index = first; index <= last; ++index) {
        BlockCache::Block block = fs.cache().get(file.key, file.decoded, index);
        const std::uint64_t blockStart = index * decmpfs::blockSize;
        const std::uint64_t from = std::max(start, blockStart) - blockStart;
        const std::uint64_t to = std::min(end, blockStart + decmpfs::blockSize) - blockStart;
        if (!block || block->size() < to) {
            // Never zero-filled, never cut short: the read fails.
            logLine("block %llu of inode %llu does not decode: %s", static_cast<unsigned long long>(index),
                    static_cast<unsigned long long>(file.key.ino), std::strerror(block ? EIO : errno));
            return (void)fuse_reply_err(req, EIO);
        }
        pieces.push_back({const_cast<std::uint8_t*>(block->data()) + from, static_cast<std::size_t>(to - from)});
        held.push_back(std::move(block));
    }
    fuse_reply_iov(req, pieces.data(), static_cast<int>(pieces.size()));
}

void read(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* fi)
{
    OpenFile& file = *openFile(fi);
    const int replacement = file.replacement();
    if (file.decoded && replacement < 0)
        return readDecoded(req, self(req), file, size, offset);
    fuse_bufvec buffer = FUSE_BUFVEC_INIT(size);
    buffer.buf[0].flags = static_cast<fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK);
    buffer.buf[0].fd = replacement >= 0 ? replacement : file.fd.get();
    buffer.buf[0].pos = offset;
    fuse_reply_data(req, &buffer, FUSE_BUF_SPLICE_MOVE);
}

void write(fuse_req_t req, fuse_ino_t, const char* data, size_t size, off_t offset, fuse_file_info* fi)
{
    OpenFile& file = *openFile(fi);
    if (file.decoded)
        return (void)fuse_reply_err(req, EBADF);
    const ssize_t written = ::pwrite(file.fd.get(), data, size, offset);
    if (written < 0)
        return (void)fuse_reply_err(req, errno);
    fuse_reply_write(req, static_cast<size_t>(written));
}

void flush(fuse_req_t req, fuse_ino_t, fuse_file_info* fi)
{
    // Closing a duplicate ends the caller's POSIX locks, as its close would.
    const int copy = ::dup(openFile(fi)->fd.get());
    fuse_reply_err(req, copy < 0 || ::close(copy) != 0 ? errno : 0);
}

void release(fuse_req_t req, fuse_ino_t, fuse_file_info* fi)
{
    delete openFile(fi);
    fuse_reply_err(req, 0);
}

void fsync(fuse_req_t req, fuse_ino_t, int dataOnly, fuse_file_info* fi)
{
    const int fd = openFile(fi)->fd.get();
    fuse_reply_err(req, (dataOnly ? ::fdatasync(fd) : ::fsync(fd)) != 0 ? errno : 0);
}

void fallocate(fuse_req_t req, fuse_ino_t, int mode, off_t offset, off_t length, fuse_file_info* fi)
{
    OpenFile& file = *openFile(fi);
    if (file.decoded)
        return (void)fuse_reply_err(req, EBADF);
    fuse_reply_err(req, ::fallocate(file.fd.get(), mode, offset, length) != 0 ? errno : 0);
}

void flock(fuse_req_t req, fuse_ino_t, fuse_file_info* fi, int operation)
{
    fuse_reply_err(req, ::flock(openFile(fi)->fd.get(), operation) != 0 ? errno : 0);
}

void opendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().path(ino);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    const int fd = ::openat(fs.folderFd(), relativeName(*relative), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return (void)fuse_reply_err(req, errno);
    auto folder = std::make_unique<OpenFolder>();
    folder->dir = ::fdopendir(fd);
    if (!folder->dir) {
        const int error = errno;
        ::close(fd);
        return (void)fuse_reply_err(req, error);
    }
    fi->fh = reinterpret_cast<std::uint64_t>(folder.release());
    fi->cache_readdir = 0;
    if (fuse_reply_open(req, fi) == -ENOENT)
        delete openFolder(fi);
}

bool isDotOrDotDot(const char* name) { return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')); }

// An entry of a listing with attributes, probed before it is added.
struct ListedEntry {
    std::string name;
    off_t next = 0;
    fuse_entry_param entry{};
    bool shown = true;
};

// Reads entries that fit `size` from the folder's stream and probes them
// all at once: a cold listing waits on the disk for every inode and its
// records, and one probe after the other kept a single request in flight.
// mount_bench (10,000 files, every other one compressed; runs alternated
// on a loaded machine): cold du -s 1.51 and 2.26 s with the probes in a
// row, 0.66 and 0.60 s side by side; cold ls -lR 3.64 and 2.98 s, 2.38 and
// 2.61 s.
//
// Warm, on a new mount (the inodes below in memory), the daemon answers
// about 460 requests for the 10,100 entries, one probe per entry. With the
// node table's lock taken once per listing (see NodeTable::lookUpAll), du
// -s took 0.23-0.36 s with the probes in a row, 0.15 s beside 3 helpers and
// 0.17 s beside 7; cold, 0.62-0.74 s, 0.33-0.40 s and 0.29-0.30 s. Helpers
// called in only once a probe took 40 us or more were no faster warm and
// slower cold (measured with the lock taken per entry). The rest of the
// walk is the kernel's own work per entry, which bindfs pays as well with
// its lookup per entry. Cold, the records of every compressed file come
// from the disk, most in an attribute block of their own: du -s over those
// 10,000 files read 5,256 times (28 MB) from the disk, bindfs over the same
// files uncompressed 184 times (4 MB).
std::vector<ListedEntry> listWithAttributes(fuse_req_t req, KelvaneFs& fs, fuse_ino_t ino, const std::string& base,
                                            OpenFolder& folder, size_t size, int& error)
{
    std::vector<ListedEntry> listed;
    std::size_t planned = 0;
    for (;;) {
        if (!folder.entry) {
            errno = 0;
            folder.entry = ::readdir(folder.dir);
            if (!folder.entry) {
                if (errno && listed.empty())
                    error = errno;
                break;
            }
        }
        const off_t next = folder.entry->d_off;
        const char* name = folder.entry->d_name;
        const std::size_t length = fuse_add_direntry_plus(req, nullptr, 0, name, nullptr, next);
        if (planned + length > size)
            break;  // kept for the next request
        planned += length;
        ListedEntry& entry = listed.emplace_back();
        entry.name = name;
        entry.next = next;
        if (isDotOrDotDot(name)) {
            entry.entry.attr.st_ino = folder.entry->d_ino;
            entry.entry.attr.st_mode = static_cast<mode_t>(folder.entry->d_type) << 12;
        }
        folder.entry = nullptr;
        folder.offset = next;
    }
    // The names to probe: neither the folder's own two nor a marked temporary (not listed).
    std::vector<std::string> names;
    std::vector<ListedEntry*> toProbe;
    for (ListedEntry& entry : listed) {
        if (isDotOrDotDot(entry.name.c_str()))
            continue;
        if (isMarkedTemporary(fs, base.empty() ? entry.name : base + "/" + entry.name)) {
            entry.shown = false;
            continue;
        }
        names.push_back(entry.name);
        toProbe.push_back(&entry);
    }
    std::vector<NodeTable::Listed> nodes = fs.nodes().lookUpAll(ino, names);
    const int parentFd = ::dirfd(folder.dir);
    fs.listingHelpers().forEach(nodes.size(), [&](std::size_t index) {
        NodeTable::Listed& node = nodes[index];
        ListedEntry& entry = *toProbe[index];
        struct stat st;
        // An entry gone since the folder was read is not listed.
        if (probeEntry(parentFd, entry.name, node.probe, node.probed, st) != 0) {
            node.gone = true;
            entry.shown = false;
            return;
        }
        fillEntry(fs, node.id, st, entry.entry);
    });
    fs.nodes().settle(nodes);
    return listed;
}

void readFolder(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi, bool plus)
{
    KelvaneFs& fs = self(req);
    OpenFolder& folder = *openFolder(fi);
    const auto base = fs.nodes().path(ino);
    if (!base)
        return (void)fuse_reply_err(req, ENOENT);
    std::vector<char> buffer(size);
    std::size_t used = 0;
    int error = 0;
    {
        std::lock_guard lock(folder.mutex);
        if (offset != folder.offset) {
            ::seekdir(folder.dir, offset);
            folder.entry = nullptr;
            folder.offset = offset;
        }
        if (plus) {
            // Every entry was planned to fit: each one probed is added, so
            // the kernel holds exactly the lookups counted for it.
            for (const ListedEntry& entry : listWithAttributes(req, fs, ino, *base, folder, size, error))
                if (entry.shown)
                    used += fuse_add_direntry_plus(req, buffer.data() + used, size - used, entry.name.c_str(),
                                                   &entry.entry, entry.next);
        }
        while (!plus) {
            if (!folder.entry) {
                errno = 0;
                folder.entry = ::readdir(folder.dir);
                if (!folder.entry) {
                    if (errno && used == 0)
                        error = errno;
                    break;
                }
            }
            const off_t next = folder.entry->d_off;
            const char* name = folder.entry->d_name;
            const std::string relative = base->empty() ? std::string(name) : *base + "/" + name;
            if (!isDotOrDotDot(name) && isMarkedTemporary(fs, relative)) {
                folder.entry = nullptr;
                folder.offset = next;
                continue;
            }
            struct stat st {};
            st.st_ino = folder.entry->d_ino;
            st.st_mode = static_cast<mode_t>(folder.entry->d_type) << 12;
            const std::size_t length = fuse_add_direntry(req, buffer.data() + used, size - used, name, &st, next);
            if (length > size - used)
                break;
            used += length;
            folder.entry = nullptr;
            folder.offset = next;
        }
    }
    // Replied only once the folder's lock is let go: the reply lets the
    // caller close the folder, and its handle (lock included) may go at
    // once. Unlocking after the reply crashed the daemon in glibc's mutex
    // checks during parallel cold `ls -lR`.
    if (error)
        fuse_reply_err(req, error);
    else
        fuse_reply_buf(req, buffer.data(), used);
}

void readdir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi)
{
    readFolder(req, ino, size, offset, fi, false);
}

void readdirplus(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi)
{
    readFolder(req, ino, size, offset, fi, true);
}

void releasedir(fuse_req_t req, fuse_ino_t, fuse_file_info* fi)
{
    delete openFolder(fi);
    fuse_reply_err(req, 0);
}

void fsyncdir(fuse_req_t req, fuse_ino_t, int dataOnly, fuse_file_info* fi)
{
    const int fd = ::dirfd(openFolder(fi)->dir);
    fuse_reply_err(req, (dataOnly ? ::fdatasync(fd) : ::fsync(fd)) != 0 ? errno : 0);
}

void statfs(fuse_req_t req, fuse_ino_t)
{
    struct statvfs st;
    if (::fstatvfs(self(req).folderFd(), &st) != 0)
        return (void)fuse_reply_err(req, errno);
    fuse_reply_statfs(req, &st);
}

void access(fuse_req_t req, fuse_ino_t ino, int mask)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().path(ino);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    fuse_reply_err(req, ::faccessat(fs.folderFd(), relativeName(*relative), mask, AT_EACCESS) != 0 ? errno : 0);
}

// The attribute calls act on the entry below the folder.
template <class Call>
void attributeCall(fuse_req_t req, fuse_ino_t ino, Call call)
{
    KelvaneFs& fs = self(req);
    const auto relative = fs.nodes().path(ino);
    if (!relative)
        return (void)fuse_reply_err(req, ENOENT);
    call(fs.folderFd(), *relative);
}

template <class Get>
void replySized(fuse_req_t req, size_t size, Get get)
{
    if (size == 0) {
        const ssize_t length = get(nullptr, 0);
        return (void)(length < 0 ? fuse_reply_err(req, errno) : fuse_reply_xattr(req, static_cast<size_t>(length)));
    }
    std::vector<char> value(size);
    const ssize_t length = get(value.data(), value.size());
    if (length < 0)
        return (void)fuse_reply_err(req, errno);
    fuse_reply_buf(req, value.data(), static_cast<size_t>(length));
}

void getxattr(fuse_req_t req, fuse_ino_t ino, const char* name, size_t size)
{
    attributeCall(req, ino, [&](int folderFd, const std::string& relative) {
        replySized(req, size, [&](char* value, size_t capacity) {
            return platform::mounted::getAttribute(folderFd, relative, name, value, capacity);
        });
    });
}

void listxattr(fuse_req_t req, fuse_ino_t ino, size_t size)
{
    attributeCall(req, ino, [&](int folderFd, const std::string& relative) {
        replySized(req, size, [&](char* list, size_t capacity) {
            return platform::mounted::listAttributes(folderFd, relative, list, capacity);
        });
    });
}

void setxattr(fuse_req_t req, fuse_ino_t ino, const char* name, const char* value, size_t size, int flags)
{
    attributeCall(req, ino, [&](int folderFd, const std::string& relative) {
        const int result = platform::mounted::setAttribute(folderFd, relative, name, value, size, flags);
        fuse_reply_err(req, result != 0 ? errno : 0);
    });
}

void removexattr(fuse_req_t req, fuse_ino_t ino, const char* name)
{
    attributeCall(req, ino, [&](int folderFd, const std::string& relative) {
        fuse_reply_err(req, platform::mounted::removeAttribute(folderFd, relative, name) != 0 ? errno : 0);
    });
}

fuse_lowlevel_ops makeOperations()
{
    fuse_lowlevel_ops ops{};
    ops.init = init;
    ops.lookup = lookup;
    ops.forget = forget;
    ops.forget_multi = forgetMulti;
    ops.getattr = getattr;
    ops.setattr = setattr;
    ops.readlink = readlink;
    ops.mknod = mknod;
    ops.mkdir = mkdir;
    ops.symlink = symlink;
    ops.link = link;
    ops.unlink = unlink;
    ops.rmdir = rmdir;
    ops.rename = rename;
    ops.open = open;
    ops.create = create;
    ops.read = read;
    ops.write = write;
    ops.flush = flush;
    ops.release = release;
    ops.fsync = fsync;
    ops.fallocate = fallocate;
    ops.flock = flock;
    ops.opendir = opendir;
    ops.readdir = readdir;
    ops.readdirplus = readdirplus;
    ops.releasedir = releasedir;
    ops.fsyncdir = fsyncdir;
    ops.statfs = statfs;
    ops.access = access;
    ops.getxattr = getxattr;
    ops.listxattr = listxattr;
    ops.setxattr = setxattr;
    ops.removexattr = removexattr;
    return ops;
}

}  // namespace

KelvaneFs::KelvaneFs(platform::UniqueFd folder, const ServeOptions& options)
    : folder_(std::move(folder)),
      options_(options),
      cache_(options.cacheBytes, options.readAheadThreads),
      listingHelpers_(options.listingHelpers)
{
}

std::shared_ptr<KelvaneFs::OpenInode> KelvaneFs::opened(Id node, const platform::FileStat& view)
{
    std::lock_guard lock(openInodesMutex_);
    std::weak_ptr<OpenInode>& kept = openInodes_[{node, view.dev, view.ino}];
    std::shared_ptr<OpenInode> inode = kept.lock();
    if (!inode) {
        inode = std::make_shared<OpenInode>();
        kept = inode;
    }
    // The latest open's view: what the inode holds now.
    inode->size = view.size;
    inode->mtime = view.mtime;
    return inode;
}

void KelvaneFs::closed(std::shared_ptr<OpenInode> inode, Id node, std::uint64_t dev, std::uint64_t ino)
{
    std::lock_guard lock(openInodesMutex_);
    inode.reset();
    if (const auto found = openInodes_.find({node, dev, ino}); found != openInodes_.end() && found->second.expired())
        openInodes_.erase(found);
}

void KelvaneFs::writing(Id node, const std::string& relative)
{
    // Counted before the records are looked for: an open that records its
    // inode after this look then sees the count move.
    ++writes_;
    std::vector<std::pair<std::pair<std::uint64_t, std::uint64_t>, std::shared_ptr<OpenInode>>> open;  // by (dev, ino)
    {
        std::lock_guard lock(openInodesMutex_);
        for (auto found = openInodes_.lower_bound({node, 0, 0});
             found != openInodes_.end() && std::get<0>(found->first) == node; ++found)
            if (auto inode = found->second.lock(); inode && !inode->replaced.load())
                open.emplace_back(std::pair(std::get<1>(found->first), std::get<2>(found->first)), std::move(inode));
    }
    if (open.empty())
        return;
    platform::FileStat view;
    const platform::UniqueFd now = openBelow(folderFd(), relativeName(relative), O_RDONLY | O_NONBLOCK, 0, view);
    if (!now || !S_ISREG(view.mode) || (view.flags & platform::UF_COMPRESSED))
        return;
    std::lock_guard lock(openInodesMutex_);  // one thread sets a record
    for (const auto& [identity, inode] : open) {
        // Another file put at the name with other contents is no swap: its
        // readers keep the inode they opened.
        if (identity == std::pair(view.dev, view.ino) || inode->replaced.load() || inode->size != view.size ||
            inode->mtime.tv_sec != view.mtime.tv_sec || inode->mtime.tv_nsec != view.mtime.tv_nsec)
            continue;
        inode->current = now.duplicate();
        if (inode->current)
            inode->replaced.store(true, std::memory_order_release);
    }
}

const fuse_lowlevel_ops& KelvaneFs::operations()
{
    static const fuse_lowlevel_ops ops = makeOperations();
    return ops;
}

}  // namespace kelvane::fs
