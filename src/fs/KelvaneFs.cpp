// SPDX-License-Identifier: MIT
#include "fs/KelvaneFs.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::fs {

namespace {

using Id = NodeTable::Id;

FolderView& view(fuse_req_t req) { return static_cast<KelvaneFs*>(fuse_req_userdata(req))->view(); }
OpenFile* openFile(fuse_file_info* fi) { return reinterpret_cast<OpenFile*>(fi->fh); }
FolderView::OpenFolder* openFolder(fuse_file_info* fi) { return reinterpret_cast<FolderView::OpenFolder*>(fi->fh); }

fuse_entry_param toEntry(const FolderView::Entry& entry)
{
    fuse_entry_param out{};
    out.ino = entry.id;
    out.attr = entry.attr;
    out.attr_timeout = entry.attrTimeout;
    out.entry_timeout = entry.entryTimeout;
    return out;
}

void replyEntry(fuse_req_t req, int error, const FolderView::Entry& entry)
{
    if (error)
        return (void)fuse_reply_err(req, error);
    const fuse_entry_param out = toEntry(entry);
    fuse_reply_entry(req, &out);
}

void replyAttributes(fuse_req_t req, int error, const struct stat& st, double timeout)
{
    if (error)
        fuse_reply_err(req, error);
    else
        fuse_reply_attr(req, &st, timeout);
}

// Tells the kernel to drop what it keeps of a change below.
void tellKernel(KelvaneFs& fileSystem, FolderWatch::Change change, Id folder, const std::string& name)
{
    fuse_session* session = fileSystem.session();
    NodeTable& nodes = fileSystem.view().nodes();
    const auto dropName = [&](Id parent, const std::string& entry) {
        fuse_lowlevel_notify_inval_entry(session, parent, entry.c_str(), entry.size());
    };
    switch (change) {
    case FolderWatch::Change::names:
        dropName(folder, name);
        fuse_lowlevel_notify_inval_inode(session, folder, 0, 0);  // its times and its cached listing
        // Another file at the name is served under the same node: its
        // cached contents (a link's target too) go with its attributes.
        if (const auto node = nodes.find(folder, name))
            fuse_lowlevel_notify_inval_inode(session, *node, 0, 0);
        break;
    case FolderWatch::Change::attributes:
    case FolderWatch::Change::contents:
        // Attributes alone: a read that finds the modification time or the
        // size changed drops the cached contents itself (auto_inval_data).
        if (const auto node = name.empty() ? std::optional(folder) : nodes.find(folder, name))
            fuse_lowlevel_notify_inval_inode(session, *node, -1, 0);
        break;
    case FolderWatch::Change::everything:
        fuse_lowlevel_notify_inval_inode(session, NodeTable::rootId, 0, 0);
        for (const NodeTable::Named& node : nodes.named()) {
            dropName(node.parent, node.name);
            fuse_lowlevel_notify_inval_inode(session, node.id, 0, 0);
        }
        break;
    }
}

void init(void* data, fuse_conn_info* conn)
{
    // Once mounted (and, in the background, after the fork that leaves the
    // terminal): the mount does not wait for it.
    auto& fileSystem = *static_cast<KelvaneFs*>(data);
    fileSystem.setFoldersOpenUnasked(conn->capable & FUSE_CAP_NO_OPENDIR_SUPPORT);
    fileSystem.view().startSweep();
    fileSystem.view().startWatching([&fileSystem](FolderWatch::Change change, Id folder, const std::string& name) {
        tellKernel(fileSystem, change, folder, name);
    });
    // Large requests: fewer round trips per MiB read or written.
    conn->max_write = 1u << 20;
    conn->max_readahead = std::max(conn->max_readahead, 1u << 20);
    // The kernel keeps the access lists itself (dropped as it drops the
    // attributes), so `ls -l` does not ask for them per file, and checks
    // permissions with them and the modes it keeps; and it keeps the
    // targets of links (dropped with the contents when the watch says so).
    for (const unsigned capability : {FUSE_CAP_SPLICE_WRITE, FUSE_CAP_SPLICE_MOVE, FUSE_CAP_FLOCK_LOCKS,
                                      FUSE_CAP_ATOMIC_O_TRUNC, FUSE_CAP_READDIRPLUS, FUSE_CAP_READDIRPLUS_AUTO,
                                      FUSE_CAP_POSIX_ACL, FUSE_CAP_CACHE_SYMLINKS})
        if (conn->capable & capability)
            conn->want |= capability;
}

void lookup(fuse_req_t req, fuse_ino_t parent, const char* name)
{
    FolderView::Entry entry;
    replyEntry(req, view(req).lookUp(parent, name, entry), entry);
}

void forget(fuse_req_t req, fuse_ino_t ino, uint64_t count)
{
    view(req).forget(ino, count);
    fuse_reply_none(req);
}

void forgetMulti(fuse_req_t req, size_t count, fuse_forget_data* forgets)
{
    for (size_t i = 0; i < count; ++i)
        view(req).forget(forgets[i].ino, forgets[i].nlookup);
    fuse_reply_none(req);
}

void getattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi)
{
    struct stat st;
    double timeout = 0;
    const int error = view(req).attributes(ino, fi ? openFile(fi) : nullptr, st, timeout);
    replyAttributes(req, error, st, timeout);
}

void setattr(fuse_req_t req, fuse_ino_t ino, struct stat* attr, int toSet, fuse_file_info* fi)
{
    FolderView::AttributeChange change;
    change.mode = toSet & FUSE_SET_ATTR_MODE;
    change.uid = toSet & FUSE_SET_ATTR_UID;
    change.gid = toSet & FUSE_SET_ATTR_GID;
    change.size = toSet & FUSE_SET_ATTR_SIZE;
    change.atime = toSet & FUSE_SET_ATTR_ATIME;
    change.atimeNow = toSet & FUSE_SET_ATTR_ATIME_NOW;
    change.mtime = toSet & FUSE_SET_ATTR_MTIME;
    change.mtimeNow = toSet & FUSE_SET_ATTR_MTIME_NOW;
    change.values = *attr;
    struct stat st;
    double timeout = 0;
    const int error = view(req).setAttributes(ino, fi ? openFile(fi) : nullptr, change, st, timeout);
    replyAttributes(req, error, st, timeout);
}

void readlink(fuse_req_t req, fuse_ino_t ino)
{
    std::string target;
    if (const int error = view(req).readLink(ino, target))
        return (void)fuse_reply_err(req, error);
    fuse_reply_readlink(req, target.c_str());
}

void mknod(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, dev_t rdev)
{
    FolderView::Entry entry;
    replyEntry(req, view(req).makeNode(parent, name, mode, rdev, entry), entry);
}

void mkdir(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode)
{
    FolderView::Entry entry;
    replyEntry(req, view(req).makeFolder(parent, name, mode, entry), entry);
}

void symlink(fuse_req_t req, const char* link, fuse_ino_t parent, const char* name)
{
    FolderView::Entry entry;
    replyEntry(req, view(req).makeSymlink(link, parent, name, entry), entry);
}

void link(fuse_req_t req, fuse_ino_t ino, fuse_ino_t newParent, const char* newName)
{
    FolderView::Entry entry;
    const int error = view(req).link(ino, newParent, newName, entry);
    // Each name is a node of its own to the kernel, which keeps the link
    // count it last heard for the old one: told to ask again, before the
    // caller hears of the link (after it, its next stat came first).
    if (fuse_session* session = static_cast<KelvaneFs*>(fuse_req_userdata(req))->session(); error == 0 && session)
        fuse_lowlevel_notify_inval_inode(session, ino, -1, 0);
    replyEntry(req, error, entry);
}

void unlink(fuse_req_t req, fuse_ino_t parent, const char* name)
{
    fuse_reply_err(req, view(req).remove(parent, name, false));
}

void rmdir(fuse_req_t req, fuse_ino_t parent, const char* name)
{
    fuse_reply_err(req, view(req).remove(parent, name, true));
}

void rename(fuse_req_t req, fuse_ino_t parent, const char* name, fuse_ino_t newParent, const char* newName,
            unsigned int flags)
{
    fuse_reply_err(req, view(req).rename(parent, name, newParent, newName, flags));
}

// Hands the open file to the kernel with the view's answer; a caller
// interrupted meanwhile never gets it.
void fileOpened(fuse_file_info* fi, std::unique_ptr<OpenFile>& file, const FolderView::OpenAnswer& answer)
{
    fi->keep_cache = answer.keepCache;
    fi->noflush = answer.noFlush;
    fi->fh = reinterpret_cast<std::uint64_t>(file.release());
}

void open(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi)
{
    std::unique_ptr<OpenFile> file;
    FolderView::OpenAnswer answer;
    if (const int error = view(req).open(ino, fi->flags, file, answer))
        return (void)fuse_reply_err(req, error);
    fileOpened(fi, file, answer);
    if (fuse_reply_open(req, fi) == -ENOENT)
        delete openFile(fi);
}

void create(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, fuse_file_info* fi)
{
    std::unique_ptr<OpenFile> file;
    FolderView::Entry entry;
    FolderView::OpenAnswer answer;
    if (const int error = view(req).create(parent, name, mode, fi->flags, file, entry, answer))
        return (void)fuse_reply_err(req, error);
    fileOpened(fi, file, answer);
    const fuse_entry_param out = toEntry(entry);
    if (fuse_reply_create(req, &out, fi) == -ENOENT)
        delete openFile(fi);
}

void read(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* fi)
{
    const FolderView::ReadAnswer answer = view(req).read(*openFile(fi), size, offset);
    if (answer.error)
        return (void)fuse_reply_err(req, answer.error);
    if (answer.bytesFd < 0)
        return (void)fuse_reply_iov(req, answer.pieces.data(), static_cast<int>(answer.pieces.size()));
    fuse_bufvec buffer = FUSE_BUFVEC_INIT(size);
    buffer.buf[0].flags = static_cast<fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK);
    buffer.buf[0].fd = answer.bytesFd;
    buffer.buf[0].pos = offset;
    fuse_reply_data(req, &buffer, FUSE_BUF_SPLICE_MOVE);
}

void write(fuse_req_t req, fuse_ino_t, const char* data, size_t size, off_t offset, fuse_file_info* fi)
{
    std::size_t written = 0;
    if (const int error = view(req).write(*openFile(fi), data, size, offset, written))
        return (void)fuse_reply_err(req, error);
    fuse_reply_write(req, written);
}

void flush(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) { fuse_reply_err(req, view(req).flush(*openFile(fi))); }

void release(fuse_req_t req, fuse_ino_t, fuse_file_info* fi)
{
    delete openFile(fi);
    fuse_reply_err(req, 0);
}

void fsync(fuse_req_t req, fuse_ino_t, int dataOnly, fuse_file_info* fi)
{
    fuse_reply_err(req, view(req).fsync(*openFile(fi), dataOnly != 0));
}

void fallocate(fuse_req_t req, fuse_ino_t, int mode, off_t offset, off_t length, fuse_file_info* fi)
{
    fuse_reply_err(req, view(req).fallocate(*openFile(fi), mode, offset, length));
}

void flock(fuse_req_t req, fuse_ino_t, fuse_file_info* fi, int operation)
{
    fuse_reply_err(req, view(req).flock(*openFile(fi), operation));
}

// While every folder is watched the kernel opens folders without asking
// (it keeps their listings then, as the watch lets it): two round trips less
// per folder walked. Each listing request then opens the folder for itself.
void opendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi)
{
    if (static_cast<KelvaneFs*>(fuse_req_userdata(req))->foldersOpenUnasked() && view(req).watched())
        return (void)fuse_reply_err(req, ENOSYS);
    std::unique_ptr<FolderView::OpenFolder> folder;
    if (const int error = view(req).openFolder(ino, folder))
        return (void)fuse_reply_err(req, error);
    fi->fh = reinterpret_cast<std::uint64_t>(folder.release());
    if (fuse_reply_open(req, fi) == -ENOENT)
        delete openFolder(fi);
}

// The folder open for this request: the kernel's, or one of its own when
// the kernel opened the folder without asking (`own` then holds it).
int folderFor(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi, std::unique_ptr<FolderView::OpenFolder>& own,
              FolderView::OpenFolder*& folder)
{
    folder = fi ? openFolder(fi) : nullptr;
    if (folder)
        return 0;
    const int error = view(req).openFolder(ino, own);
    folder = own.get();
    return error;
}

void readFolder(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi, bool plus)
{
    const FolderView::EntrySize sizeOf = [&](const char* name) {
        return plus ? fuse_add_direntry_plus(req, nullptr, 0, name, nullptr, 0)
                    : fuse_add_direntry(req, nullptr, 0, name, nullptr, 0);
    };
    std::vector<FolderView::ListedEntry> listed;
    // The view lets go of the folder's lock before the reply: the reply lets
    // the caller close the folder, and its handle (lock included) may go at
    // once. Unlocking after the reply crashed the daemon in glibc's mutex
    // checks during parallel cold `ls -lR`.
    std::unique_ptr<FolderView::OpenFolder> own;
    FolderView::OpenFolder* folder = nullptr;
    if (const int error = folderFor(req, ino, fi, own, folder))
        return (void)fuse_reply_err(req, error);
    if (const int error = view(req).list(ino, *folder, offset, size, plus, sizeOf, listed))
        return (void)fuse_reply_err(req, error);
    std::vector<char> buffer(size);
    std::size_t used = 0;
    for (const FolderView::ListedEntry& entry : listed) {
        if (!entry.shown)
            continue;
        if (plus) {
            const fuse_entry_param out = toEntry(entry.entry);
            used += fuse_add_direntry_plus(req, buffer.data() + used, size - used, entry.name.c_str(), &out, entry.next);
        } else {
            used += fuse_add_direntry(req, buffer.data() + used, size - used, entry.name.c_str(), &entry.entry.attr,
                                      entry.next);
        }
    }
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

void fsyncdir(fuse_req_t req, fuse_ino_t ino, int dataOnly, fuse_file_info* fi)
{
    std::unique_ptr<FolderView::OpenFolder> own;
    FolderView::OpenFolder* folder = nullptr;
    if (const int error = folderFor(req, ino, fi, own, folder))
        return (void)fuse_reply_err(req, error);
    fuse_reply_err(req, view(req).fsyncFolder(*folder, dataOnly != 0));
}

void statfs(fuse_req_t req, fuse_ino_t)
{
    struct statvfs st;
    if (const int error = view(req).statfs(st))
        return (void)fuse_reply_err(req, error);
    fuse_reply_statfs(req, &st);
}

void access(fuse_req_t req, fuse_ino_t ino, int mask) { fuse_reply_err(req, view(req).access(ino, mask)); }

// A zero `size` asks for the length alone.
template <class Get>
void replySized(fuse_req_t req, size_t size, Get get)
{
    std::vector<char> value(size);
    const ssize_t length = get(size ? value.data() : nullptr, size);
    if (length < 0)
        return (void)fuse_reply_err(req, errno);
    if (size == 0)
        return (void)fuse_reply_xattr(req, static_cast<size_t>(length));
    fuse_reply_buf(req, value.data(), static_cast<size_t>(length));
}

void getxattr(fuse_req_t req, fuse_ino_t ino, const char* name, size_t size)
{
    replySized(req, size, [&](char* value, size_t capacity) { return view(req).getAttribute(ino, name, value, capacity); });
}

void listxattr(fuse_req_t req, fuse_ino_t ino, size_t size)
{
    replySized(req, size, [&](char* list, size_t capacity) { return view(req).listAttributes(ino, list, capacity); });
}

void setxattr(fuse_req_t req, fuse_ino_t ino, const char* name, const char* value, size_t size, int flags)
{
    fuse_reply_err(req, view(req).setAttribute(ino, name, value, size, flags));
}

void removexattr(fuse_req_t req, fuse_ino_t ino, const char* name)
{
    fuse_reply_err(req, view(req).removeAttribute(ino, name));
}

using Kind = RequestTimes::Kind;

// `op` timed into the file system's request times. The file system is taken
// before the call: the reply frees the request.
template <Kind kind, auto op>
struct Timed;
template <Kind kind, class... Args, void (*op)(fuse_req_t, Args...)>
struct Timed<kind, op> {
    static void call(fuse_req_t req, Args... args)
    {
        RequestTimes* times = static_cast<KelvaneFs*>(fuse_req_userdata(req))->requestTimes();
        const auto start = std::chrono::steady_clock::now();
        op(req, args...);
        times->add(kind, std::chrono::steady_clock::now() - start);
    }
};

fuse_lowlevel_ops makeOperations(bool timed)
{
    fuse_lowlevel_ops ops{};
    ops.init = init;
#define KELVANEFS_OP(name, function, kind) ops.name = timed ? Timed<Kind::kind, function>::call : function
    KELVANEFS_OP(lookup, lookup, lookup);
    KELVANEFS_OP(forget, forget, forget);
    KELVANEFS_OP(forget_multi, forgetMulti, forget);
    KELVANEFS_OP(getattr, getattr, getattr);
    KELVANEFS_OP(setattr, setattr, setattr);
    KELVANEFS_OP(readlink, readlink, readlink);
    KELVANEFS_OP(mknod, mknod, mknod);
    KELVANEFS_OP(mkdir, mkdir, mkdir);
    KELVANEFS_OP(symlink, symlink, symlink);
    KELVANEFS_OP(link, link, link);
    KELVANEFS_OP(unlink, unlink, unlink);
    KELVANEFS_OP(rmdir, rmdir, rmdir);
    KELVANEFS_OP(rename, rename, rename);
    KELVANEFS_OP(open, open, open);
    KELVANEFS_OP(create, create, create);
    KELVANEFS_OP(read, read, read);
    KELVANEFS_OP(write, write, write);
    KELVANEFS_OP(flush, flush, flush);
    KELVANEFS_OP(release, release, release);
    KELVANEFS_OP(fsync, fsync, fsync);
    KELVANEFS_OP(fallocate, fallocate, fallocate);
    KELVANEFS_OP(flock, flock, flock);
    KELVANEFS_OP(opendir, opendir, opendir);
    KELVANEFS_OP(readdir, readdir, readdir);
    KELVANEFS_OP(readdirplus, readdirplus, readdirplus);
    KELVANEFS_OP(releasedir, releasedir, releasedir);
    KELVANEFS_OP(fsyncdir, fsyncdir, fsyncdir);
    KELVANEFS_OP(statfs, statfs, statfs);
    KELVANEFS_OP(access, access, access);
    KELVANEFS_OP(getxattr, getxattr, getxattr);
    KELVANEFS_OP(listxattr, listxattr, listxattr);
    KELVANEFS_OP(setxattr, setxattr, setxattr);
    KELVANEFS_OP(removexattr, removexattr, removexattr);
#undef KELVANEFS_OP
    return ops;
}

}  // namespace

KelvaneFs::KelvaneFs(platform::UniqueFd folder, const ServeOptions& options) : view_(std::move(folder), options) {}

const fuse_lowlevel_ops& KelvaneFs::operations() const
{
    static const fuse_lowlevel_ops plain = makeOperations(false);
    static const fuse_lowlevel_ops timed = makeOperations(true);
    return requestTimes_ ? timed : plain;
}

}  // namespace kelvane::fs
