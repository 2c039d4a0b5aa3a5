// SPDX-License-Identifier: MIT
#include "fs/FolderView.h"

#include "fs/LeftoverSweep.h"
#include "fs/OpenBelow.h"
#include "fs/ServeLog.h"

#include "engine/EmptyReplacement.h"
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "engine/InPlaceDecompression.h"
#include "engine/TemporaryFile.h"
#include "platform/DecmpfsFormat.h"
#include "platform/FileFlags.h"
#include "platform/FileSystem.h"
#include "platform/MountedAttributes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <linux/xattr.h>  // after sys/xattr.h: the names alone
#include <unistd.h>

namespace kelvane::fs {

namespace {

using Id = NodeTable::Id;

constexpr std::string_view kTemporarySuffix = ".kvtmp";

const std::string kTemporaryMarker = "user." + std::string(engine::TemporaryFile::markerName);

const char* relativeName(const std::string& relative) { return relative.empty() ? "." : relative.c_str(); }

std::string childOf(const std::string& base, const std::string& name) { return base.empty() ? name : base + "/" + name; }

bool isDotOrDotDot(const char* name) { return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')); }

void toStat(const platform::FileStat& raw, std::int64_t size, struct stat& st)
{
    st = {};
    st.st_dev = raw.dev;  // the kernel keeps its own; the inode's other names are found by it
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
// A compressed file another program wrote over (`overwritten` says so of
// its view) is the ordinary file its bytes are.
template <class Overwritten>
int probeEntry(int folderFd, const std::string& relative, std::optional<NodeTable::Probe>& probe, bool& probed,
               struct stat& st, const Overwritten& overwritten)
{
    probed = false;
    if (probe) {
        platform::FileStat raw;
        if (platform::lstatBelow(folderFd, relative, raw, false) != 0)
            return errno;
        if (probe->holdsFor(raw) && !(probe->decoded && overwritten(probe->view))) {
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
    if (fresh.decoded && overwritten(fresh.view)) {
        platform::FileStat raw;
        if (platform::lstatBelow(folderFd, relative, raw, false) != 0)
            return errno;
        fresh.decoded = false;
        fresh.view.size = raw.size;
        fresh.view.flags &= ~platform::UF_COMPRESSED;
    }
    toStat(fresh.view, fresh.view.size, st);
    probe = fresh;
    probed = true;
    return 0;
}

int attributesOfOpen(const OpenFile& file, struct stat& st)
{
    platform::FileStat view;
    if (platform::fstat(file.current(), view) != 0)
        return errno;
    toStat(view, view.size, st);
    return 0;
}

int orErrno(int result) { return result != 0 ? errno : 0; }

// The folder's next entry, kept in `folder.entry` until taken; null at the
// end, with `error` set when reading failed before anything was listed.
const dirent* nextEntry(FolderView::OpenFolder& folder, bool listedAny, int& error)
{
    if (!folder.entry) {
        errno = 0;
        folder.entry = ::readdir(folder.dir);
        if (!folder.entry && errno && !listedAny)
            error = errno;
    }
    return folder.entry;
}

// Takes the folder's next entry into `out`.
void takeEntry(FolderView::OpenFolder& folder, std::vector<FolderView::ListedEntry>& out)
{
    FolderView::ListedEntry& entry = out.emplace_back();
    entry.name = folder.entry->d_name;
    entry.next = folder.entry->d_off;
    entry.entry.attr.st_ino = folder.entry->d_ino;
    entry.entry.attr.st_mode = static_cast<mode_t>(folder.entry->d_type) << 12;
    folder.entry = nullptr;
    folder.offset = entry.next;
}

// The error a program gets when undoing a compression for its change fails:
// the cause below (no room, no quota, no permission, a read-only file
// system, no descriptor left) as the failed call reported it; EIO only for
// data that does not decode or a failure without a cause.
int errnoFor(const engine::FileCompressionError& error)
{
    using Kind = engine::FileCompressionError::Kind;
    switch (error.kind()) {
    case Kind::notCompressed:
        return 0;  // undone meanwhile
    case Kind::fileNotFound:
        return ENOENT;
    case Kind::fileInUse:
    case Kind::fileChangedDuringOperation:
    case Kind::temporaryFileConflict:
        return EBUSY;
    case Kind::hardLinked:
        return EMLINK;
    case Kind::ioError: {
        // "<call>: errno=<n>", the one text of a failed call.
        const std::string& text = std::get<engine::FileCompressionError::ioError>(error.value()).message;
        const auto at = text.rfind("errno=");
        const int number = at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 6);
        return number > 0 ? number : EIO;
    }
    default:
        return EIO;
    }
}

// Runs an engine road on the file at `relative`: 0 or the errno it ended with.
template <class Road>
int runRoad(int folderFd, const std::string& relative, const char* what, Road road)
{
    try {
        road(platform::pathBelow(folderFd, relative));
        return 0;
    } catch (const engine::FileCompressionError& error) {
        const int number = errnoFor(error);
        if (number != 0)
            serveLog("%s %s failed: %s", what, relative.c_str(), error.description().c_str());
        return number;
    } catch (const std::exception& error) {
        serveLog("%s %s failed: %s", what, relative.c_str(), error.what());
        return EIO;
    }
}

bool isCompressedFile(const platform::FileStat& view)
{
    return S_ISREG(view.mode) && (view.flags & platform::UF_COMPRESSED);
}

bool hasTemporaryForm(std::string_view name)
{
    return name.size() > kTemporarySuffix.size() && name.ends_with(kTemporarySuffix);
}

// The flags that open a file for writing, for reading it until its first change.
int readingFlags(int flags) { return (flags & ~(O_ACCMODE | O_TRUNC | O_CREAT | O_EXCL)) | O_RDONLY; }

// A change of a name the mount makes for the kernel, which learns of it from
// the reply: its echo from the watch is expected, unless the change is not
// made() after all (see FolderWatch::expect). Tar unpacking 5,771 files: a
// lookup, a forget and the folder's attributes fewer per file.
class ExpectedEcho {
public:
    ExpectedEcho(FolderWatch& watch, Id folder, const std::string& name, FolderWatch::Echo echo)
        : watch_(watch), folder_(folder), name_(name), echo_(echo), expected_(watch.expect(folder, name, echo))
    {
    }
    ~ExpectedEcho()
    {
        if (expected_ && !made_)
            watch_.unexpect(folder_, name_, echo_);
    }
    ExpectedEcho(const ExpectedEcho&) = delete;
    ExpectedEcho& operator=(const ExpectedEcho&) = delete;
    void made() { made_ = true; }

private:
    FolderWatch& watch_;
    Id folder_;
    std::string name_;
    FolderWatch::Echo echo_;
    bool expected_;
    bool made_ = false;
};

}  // namespace

OpenFile::~OpenFile()
{
    if (inode)
        view->closed(std::move(inode), node, key.dev, key.ino);
}

FolderView::OpenFolder::~OpenFolder()
{
    if (dir)
        ::closedir(dir);
}

FolderView::FolderView(platform::UniqueFd folder, const ServeOptions& options)
    : folder_(std::move(folder)),
      options_(options),
      cache_(options.cacheBytes, options.readAheadThreads),
      listingHelpers_(options.listingHelpers),
      watch_(folder_.get())
{
}

FolderView::~FolderView() = default;

bool FolderView::startWatching(FolderWatch::Sink sink)
{
    // What is known absent of a node goes with the attributes the kernel
    // keeps of it, before the kernel hears.
    tell_ = [this, sink = std::move(sink)](FolderWatch::Change change, Id folder, const std::string& name) {
        switch (change) {
        case FolderWatch::Change::names:
            nodes_.forgetAbsent(folder);
            [[fallthrough]];
        case FolderWatch::Change::attributes:
            if (const auto node = name.empty() ? std::optional(folder) : nodes_.find(folder, name))
                nodes_.forgetAbsent(*node);
            break;
        case FolderWatch::Change::everything:
            nodes_.forgetAllAbsent();
            break;
        case FolderWatch::Change::contents:
            break;  // a write only ever takes a capability away
        }
        sink(change, folder, name);
    };
    return watch_.start([this](FolderWatch::Change change, Id folder, const std::string& name) {
        heard(change, folder, name);
    });
}

// A change below reaches the watch of the folder of the name it was made
// through alone: the inode's other names are told here. A name that came
// (a link made, a file moved in) grows the link count of every name of its
// inode; one that went or was replaced, of the inode it named.
void FolderView::heard(FolderWatch::Change change, Id folder, const std::string& name)
{
    std::vector<Id> others;
    if (change != FolderWatch::Change::everything && !name.empty())
        if (const auto node = nodes_.find(folder, name))
            others = nodes_.otherNames(*node);
    if (change == FolderWatch::Change::names) {
        if (const auto relative = nodes_.childPath(folder, name); relative) {
            platform::FileStat raw;
            if (platform::lstatBelow(folderFd(), *relative, raw, false) == 0 && !S_ISDIR(raw.mode) && raw.nlink > 1)
                for (const Id node : nodes_.nodesOf(raw.dev, raw.ino))
                    others.push_back(node);
        }
    }
    tell_(change, folder, name);
    tellOtherNames(others);
}

void FolderView::tellOtherNames(const std::vector<Id>& others)
{
    if (!tell_)
        return;
    for (const Id other : others)
        tell_(FolderWatch::Change::attributes, other, {});
}

void FolderView::changedThrough(Id id)
{
    if (tell_)
        tellOtherNames(nodes_.otherNames(id));
}

// A name the kernel forgets leaves its inode's other names with one name
// not known: they may no longer keep their attributes (everyNameKnown).
void FolderView::forget(Id id, std::uint64_t count)
{
    const std::vector<Id> others = nodes_.otherNames(id);
    nodes_.forget(id, count);
    if (!others.empty() && !nodes_.probe(id))
        tellOtherNames(others);
}

void FolderView::startSweep()
{
    sweep_ = std::jthread([this](std::stop_token stop) {
        if (const std::size_t removed = sweepLeftovers(folderFd(), stop))
            serveLog("removed %zu temporary files left over below", removed);
    });
}

void FolderView::waitForSweep()
{
    if (sweep_.joinable())
        sweep_.join();
}

// --- names and attributes ------------------------------------------------------

int FolderView::attributesOf(Id id, const std::string& relative, struct stat& st)
{
    std::optional<NodeTable::Probe> probe = nodes_.probe(id);
    bool probed = false;
    const int error = probeEntry(folderFd(), relative, probe, probed, st, [&](const platform::FileStat& view) {
        return isOverwritten(view, -1, folderFd(), relative);
    });
    if (error == 0 && probed)
        nodes_.storeProbe(id, *probe);
    return error;
}

// A file with several names has one node per name here, each with its own
// attributes and page cache in the kernel. They are kept while every name
// is a node in a watched folder: a change through any name, through the
// mount or below, then reaches the others (changedThrough, heard). A name
// elsewhere (not yet looked up, outside the mount) would not be heard of.
double FolderView::attributeTimeout(Id id, const struct stat& st)
{
    if (S_ISDIR(st.st_mode) || st.st_nlink <= 1)
        return entryTimeout();
    return watched() && everyNameKnown(id, st.st_dev, st.st_ino, st.st_nlink) ? entryTimeout() : 0.0;
}

// Whether `names` nodes, `id` among them, name the inode (dev, ino) below
// now: a name gone below still names its node until the kernel forgets it.
bool FolderView::everyNameKnown(Id id, dev_t dev, ino_t ino, nlink_t names)
{
    nlink_t known = 1;
    for (const Id other : nodes_.nodesOf(dev, ino)) {
        const auto relative = other == id ? std::nullopt : nodes_.path(other);
        struct stat now;
        if (relative && ::fstatat(folderFd(), relativeName(*relative), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == dev && now.st_ino == ino)
            ++known;
    }
    return known >= names;
}

void FolderView::fillEntry(Id id, const struct stat& st, Entry& entry)
{
    entry = {};
    entry.id = id;
    entry.attr = st;
    entry.attrTimeout = attributeTimeout(id, st);
    entry.entryTimeout = entryTimeout();
}

int FolderView::lookUp(Id parent, const std::string& name, Entry& out)
{
    const std::optional<std::string> relative = nodes_.childPath(parent, name);
    if (!relative || isMarkedTemporaryNow(*relative))
        return ENOENT;
    struct stat st;
    const Id id = nodes_.lookUp(parent, name);
    if (const int error = attributesOf(id, *relative, st)) {
        nodes_.forget(id, 1);
        return error;
    }
    // Watched before the kernel learns of anything in it.
    if (S_ISDIR(st.st_mode))
        watch_.watch(id, *relative);
    fillEntry(id, st, out);
    return 0;
}

int FolderView::attributes(Id id, const OpenFile* file, struct stat& out, double& timeout)
{
    int error = ENOENT;
    if (const auto relative = nodes_.path(id))
        error = attributesOf(id, *relative, out);
    else if (file)
        error = attributesOfOpen(*file, out);
    if (error == 0)
        timeout = attributeTimeout(id, out);
    return error;
}

// A truncation to zero needs no old byte: the file is emptied without
// decoding. Any other size decompresses first.
int FolderView::truncate(Id id, OpenFile* file, const std::optional<std::string>& relative, off_t size)
{
    if (file && file->writeFlags) {
        const int error = firstChange(*file, size == 0);
        return error ? error : orErrno(::ftruncate(file->changedFile(), size));
    }
    if (file && !file->decoded)
        return orErrno(::ftruncate(file->fd.get(), size));
    if (!relative)
        return EBADF;
    if (const int error = size == 0 ? emptyBeforeWriting(id, *relative) : decompressBeforeWriting(id, *relative))
        return error;
    writing(id, *relative);
    return truncateBelow(folderFd(), relativeName(*relative), size);
}

int FolderView::setAttributes(Id id, OpenFile* file, const AttributeChange& change, struct stat& out, double& timeout)
{
    const auto relative = nodes_.path(id);
    if (!relative && !file)
        return ENOENT;
    const int root = folderFd();
    const char* name = relative ? relativeName(*relative) : nullptr;
    const struct stat& attr = change.values;
    int error = 0;
    if (change.mode)
        error = orErrno(file ? ::fchmod(file->current(), attr.st_mode) : ::fchmodat(root, name, attr.st_mode, 0));
    if (error == 0 && (change.uid || change.gid)) {
        const uid_t uid = change.uid ? attr.st_uid : static_cast<uid_t>(-1);
        const gid_t gid = change.gid ? attr.st_gid : static_cast<gid_t>(-1);
        error = orErrno(file ? ::fchown(file->current(), uid, gid) : ::fchownat(root, name, uid, gid, AT_SYMLINK_NOFOLLOW));
    }
    if (error == 0 && change.size)
        error = truncate(id, file, relative, attr.st_size);
    if (error == 0 && (change.atime || change.mtime)) {
        timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
        if (change.atimeNow)
            times[0].tv_nsec = UTIME_NOW;
        else if (change.atime)
            times[0] = attr.st_atim;
        if (change.mtimeNow)
            times[1].tv_nsec = UTIME_NOW;
        else if (change.mtime)
            times[1] = attr.st_mtim;
        error = orErrno(file ? ::futimens(file->current(), times) : ::utimensat(root, name, times, AT_SYMLINK_NOFOLLOW));
    }
    if (error)
        return error;
    changedThrough(id);
    if (relative)
        error = attributesOf(id, *relative, out);
    else
        error = attributesOfOpen(*file, out);
    if (error == 0)
        timeout = attributeTimeout(id, out);
    return error;
}

int FolderView::readLink(Id id, std::string& target)
{
    const auto relative = nodes_.path(id);
    if (!relative)
        return ENOENT;
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = ::readlinkat(folderFd(), relativeName(*relative), buffer.data(), buffer.size());
    if (length < 0)
        return errno;
    if (static_cast<std::size_t>(length) == buffer.size())
        return ENAMETOOLONG;
    target.assign(buffer.data(), static_cast<std::size_t>(length));
    return 0;
}

// Runs `make` (which creates `name` in `parent` relative to the folder) and
// looks the new entry up.
template <class Make>
int FolderView::makeEntry(Id parent, const std::string& name, Entry& out, Make make)
{
    const auto relative = nodes_.childPath(parent, name);
    if (!relative)
        return ENOENT;
    if (isMarkedTemporaryNow(*relative))
        return EPERM;
    ExpectedEcho echo(watch_, parent, name, FolderWatch::Echo::created);
    if (make(folderFd(), relative->c_str()) != 0)
        return errno;
    if (const int error = lookUp(parent, name, out))
        return error;
    echo.made();
    return 0;
}

int FolderView::makeNode(Id parent, const std::string& name, mode_t mode, dev_t rdev, Entry& out)
{
    return makeEntry(parent, name, out, [&](int root, const char* at) { return ::mknodat(root, at, mode, rdev); });
}

int FolderView::makeFolder(Id parent, const std::string& name, mode_t mode, Entry& out)
{
    return makeEntry(parent, name, out, [&](int root, const char* at) { return ::mkdirat(root, at, mode); });
}

int FolderView::makeSymlink(const std::string& target, Id parent, const std::string& name, Entry& out)
{
    return makeEntry(parent, name, out, [&](int root, const char* at) { return ::symlinkat(target.c_str(), root, at); });
}

int FolderView::link(Id id, Id newParent, const std::string& newName, Entry& out)
{
    const auto existing = nodes_.path(id);
    if (!existing)
        return ENOENT;
    nodes_.forgetAbsent(id);
    const int error = makeEntry(newParent, newName, out,
                                [&](int root, const char* at) { return ::linkat(root, existing->c_str(), root, at, 0); });
    if (error == 0)
        changedThrough(id);  // one name more
    return error;
}

int FolderView::remove(Id parent, const std::string& name, bool folder)
{
    const auto relative = nodes_.childPath(parent, name);
    if (!relative)
        return ENOENT;
    ExpectedEcho echo(watch_, parent, name, FolderWatch::Echo::removed);
    if (::unlinkat(folderFd(), relative->c_str(), folder ? AT_REMOVEDIR : 0) != 0)
        return errno;
    echo.made();
    if (const auto node = nodes_.find(parent, name))
        changedThrough(*node);  // one name fewer
    nodes_.removed(parent, name);
    return 0;
}

int FolderView::rename(Id parent, const std::string& name, Id newParent, const std::string& newName, unsigned flags)
{
    const auto from = nodes_.childPath(parent, name);
    const auto to = nodes_.childPath(newParent, newName);
    if (!from || !to)
        return ENOENT;
    if (isMarkedTemporaryNow(*from) || isMarkedTemporaryNow(*to))
        return EPERM;
    // An exchange makes four events; it is told as it comes.
    const bool exchange = (flags & RENAME_EXCHANGE) != 0;
    std::optional<ExpectedEcho> gone, came;
    if (!exchange) {
        gone.emplace(watch_, parent, name, FolderWatch::Echo::movedFrom);
        came.emplace(watch_, newParent, newName, FolderWatch::Echo::movedTo);
    }
    if (::renameat2(folderFd(), from->c_str(), folderFd(), to->c_str(), flags) != 0)
        return errno;
    // The moved inode's change time, and the replaced one's link count.
    for (const auto node : {nodes_.find(parent, name), nodes_.find(newParent, newName)})
        if (node)
            changedThrough(*node);
    // Two names of one inode: the rename does nothing, and makes no event.
    struct stat left;
    if (gone && ::fstatat(folderFd(), from->c_str(), &left, AT_SYMLINK_NOFOLLOW) != 0) {
        gone->made();
        came->made();
    }
    nodes_.renamed(parent, name, newParent, newName, exchange);
    return 0;
}

// Whether a listed name is one of Kelvane's temporary files: a name of their
// form that carries the marker, or that is gone by now. A listing serves
// names read from the folder a while ago, and one read before Kelvane renamed
// its temporary file over the original would come back otherwise.
bool FolderView::isMarkedTemporary(const std::string& relative)
{
    const std::string_view view(relative);
    if (view.size() <= kTemporarySuffix.size() || view.substr(view.size() - kTemporarySuffix.size()) != kTemporarySuffix)
        return false;
    if (platform::mounted::hasAttribute(folderFd(), relative, kTemporaryMarker.c_str()))
        return true;
    struct stat st;
    return ::fstatat(folderFd(), relative.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

// One of Kelvane's temporary files is at `relative` now: it is neither
// opened, nor created, nor replaced through the mount.
bool FolderView::isMarkedTemporaryNow(const std::string& relative)
{
    return hasTemporaryForm(relative) && platform::mounted::hasAttribute(folderFd(), relative, kTemporaryMarker.c_str());
}

// Whether the compressed file of `view` (open on `fd`, else at `relative`
// below `folderFd`) holds another program's bytes in place of its fork:
// then it is the ordinary file its bytes are (the README promises it).
// Told by the fork's digest, at most once per inode and change, and only
// for a file last changed by a write: that sets both of its times to one
// moment, and Kelvane's swaps keep the file's modification time.
bool FolderView::isOverwritten(const platform::FileStat& view, int fd, int folderFd, const std::string& relative)
{
    const BlockCache::FileKey key{view.dev, view.ino, view.ctime.tv_sec, view.ctime.tv_nsec};
    {
        std::lock_guard lock(overwrittenMutex_);
        if (const auto found = forkVerdicts_.find(key); found != forkVerdicts_.end())
            return found->second;
    }
    if (view.mtime.tv_sec != view.ctime.tv_sec || view.mtime.tv_nsec != view.ctime.tv_nsec)
        return false;
    platform::UniqueFd opened;
    if (fd < 0) {
        opened.reset(::openat(folderFd, relativeName(relative), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        fd = opened.get();
    }
    return fd >= 0 && foundOverwritten(fd, key);
}

// Judges the fork of the compressed file open on `fd` by its digest (one
// that does not decode, or a suspect) and keeps the verdict.
bool FolderView::foundOverwritten(int fd, const BlockCache::FileKey& key)
{
    const bool overwritten = platform::forkStillRecorded(fd) == 0;
    if (overwritten)
        serveLog("inode %llu was written over by another program: it reads as it is now",
                 static_cast<unsigned long long>(key.ino));
    std::lock_guard lock(overwrittenMutex_);
    forkVerdicts_[key] = overwritten;
    return overwritten;
}

// --- files ----------------------------------------------------------------------

// Runs `undo` (0 or an errno) on the compressed file at `relative`, if it
// is one, and moves the readers of node `id` on to the plain file it leaves.
// Changes of one file that arrive together (two programs appending to one
// log) take turns: the engine's lock on the file would fail all but the
// first, and after it the others find a plain file.
template <class Undo>
int FolderView::undoCompression(Id id, const std::string& relative, Undo undo)
{
    // Whether the file below is compressed now: 1, 0, or -1 with errno set.
    const auto compressedNow = [&](platform::FileStat& view) {
        if (platform::lstatBelow(folderFd(), relative, view, true) != 0)
            return -1;
        return isCompressedFile(view) ? 1 : 0;
    };
    platform::FileStat view;
    int state = compressedNow(view);
    if (state <= 0)
        return state < 0 ? errno : 0;
    std::lock_guard turn(decompressionLock(view.dev, view.ino));
    state = compressedNow(view);
    if (state <= 0)
        return state < 0 ? errno : 0;
    if (isOverwritten(view, -1, folderFd(), relative)) {
        // Its records no longer hold: dropped, and the file is what it holds.
        platform::FileStat held;
        const platform::UniqueFd fd = openBelow(folderFd(), relativeName(relative), O_RDONLY | O_NONBLOCK, 0, held);
        return fd && platform::dropOverwrittenCompression(fd.get()) == 0 ? 0 : errno;
    }
    if (const int error = undo(view))
        return error;
    writing(id, relative);
    return 0;
}

// Writing undoes compression: the file is decompressed with the engine's
// road (temporary file, verified swap). The file stays compressed and
// intact when that fails. A file with other names is decompressed in place,
// so that they all see the change.
int FolderView::decompressBeforeWriting(Id id, const std::string& relative)
{
    return undoCompression(id, relative, [&](const platform::FileStat& view) {
        if (view.nlink <= 1)
            return runRoad(folderFd(), relative, "decompressing before writing",
                           [](const std::filesystem::path& path) { engine::FileCompressor{}.decompressFile(path); });
        const int error = runRoad(folderFd(), relative, "decompressing in place", engine::decompressInPlace);
        if (error == 0)
            rewrittenInPlace(relative);
        return error;
    });
}

// A truncation to zero: the file becomes empty and plain without a byte
// decoded. A file with other names is emptied in place (a swap would part it
// from them): its data stream first, which alone makes it an ordinary empty
// file to every reader, then the records that no longer hold.
int FolderView::emptyBeforeWriting(Id id, const std::string& relative)
{
    return undoCompression(id, relative, [&](const platform::FileStat& view) {
        if (view.nlink <= 1)
            return runRoad(folderFd(), relative, "emptying", engine::replaceWithEmptyFile);
        const platform::UniqueFd raw(
            ::openat(folderFd(), relative.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat now {};
        if (!raw || ::fstat(raw.get(), &now) != 0)
            return errno;
        if (now.st_dev != view.dev || now.st_ino != view.ino)
            return EBUSY;
        if (::ftruncate(raw.get(), 0) != 0)
            return errno;
        const platform::UniqueFd plain = platform::open(platform::pathBelow(folderFd(), relative), O_WRONLY | O_TRUNC);
        if (!plain)
            return errno;
        rewrittenInPlace(relative);
        return 0;
    });
}

// The first change of a compressed file opened for writing: the file is
// decompressed (emptied when `toEmpty`) and opened for writing as the
// program asked. Kelvane may compress it again in between: tried anew.
int FolderView::firstChange(OpenFile& file, bool toEmpty)
{
    if (!file.waitsForChange())
        return 0;
    std::lock_guard lock(file.changing);
    if (!file.waitsForChange())
        return 0;
    int error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto relative = nodes_.path(file.node);
        if (!relative)
            return ESTALE;  // its name is gone: no file to change
        error = toEmpty ? emptyBeforeWriting(file.node, *relative) : decompressBeforeWriting(file.node, *relative);
        if (error)
            return error;
        platform::FileStat view;
        const int flags = (file.writeFlags & ~(O_CREAT | O_EXCL | O_TRUNC)) | (toEmpty ? O_TRUNC : 0);
        platform::UniqueFd writer = openBelow(folderFd(), relativeName(*relative), flags, 0, view);
        if (writer) {
            file.writer = std::move(writer);
            file.changed.store(true, std::memory_order_release);
            writing(file.node, *relative);
            return 0;
        }
        error = errno;
        if (!(error == EIO && isCompressedFile(view)))
            return error;
    }
    return error;
}

// A header or an offset table that does not parse fails the open, as the
// platform fails the read: the kernel would otherwise see a short or empty
// file. Such a handle holds no bytes, so past the size check only an empty
// one needs its first block tried; any other block that does not decode
// fails its own read. A re-read served from the kernel's pages then costs no
// decode at its open.
int FolderView::checkDecodes(OpenFile& file, const platform::FileStat& view, const std::string& relative)
{
    // Decoded by block through a duplicate of the descriptor: reopening it
    // through /proc cost a path walk at every open (the open request's
    // median went from 78-93 us to 68-80 us in re-reads of cached files).
    auto handle = platform::FileHandle::ofDescriptor(file.fd.duplicate());
    if (!handle)
        return errno;
    file.decoded = std::make_shared<const platform::FileHandle>(std::move(*handle));
    if (file.decoded->size() != static_cast<std::uint64_t>(view.size) ||
        (file.decoded->size() == 0 && !cache_.get(file.key, file.decoded, 0))) {
        serveLog("%s does not decode: %s", relative.c_str(), std::strerror(EIO));
        return EIO;
    }
    return 0;
}

// Opens the file at `relative` with `flags` and makes the handle the kernel
// keeps: a compressed file gets the platform's decoding.
int FolderView::openHandle(Id id, const std::string& relative, int flags, mode_t mode, std::unique_ptr<OpenFile>& out,
                           OpenAnswer& answer, bool trustProbe)
{
    auto file = std::make_unique<OpenFile>();
    file->view = this;
    file->node = id;
    // The node's probe tells a compressed file from a plain one without its
    // records read again (warm tar cf: a fifth of the daemon's time went to
    // reading them at each open, perf).
    const std::optional<NodeTable::Probe> probe = trustProbe ? nodes_.probe(id) : std::nullopt;
    const NodeTable::Probe* known = probe ? &*probe : nullptr;
    platform::FileStat view;
    for (int attempt = 0;; ++attempt) {
        const std::uint64_t writesBefore = writeCount();
        view = {};
        file->fd = openBelow(folderFd(), relativeName(relative), flags, mode, view, known);
        if (!file->fd && errno == EIO && isCompressedFile(view) && !(flags & O_TRUNC)) {
            // Read as the original until the first change.
            file->writeFlags = flags;
            file->fd = openBelow(folderFd(), relativeName(relative), readingFlags(flags), 0, view, known);
        }
        if (!file->fd)
            return errno;
        // A file with other names may hold the record of a decompression in
        // place that a kill cut short: finished before anyone reads it.
        if (S_ISREG(view.mode) && view.nlink > 1 && attempt < 3 &&
            platform::fgetxattr(file->fd.get(), engine::redoRecordName, nullptr, 0, 0, 0) >= 0) {
            file->fd.reset();
            if (const int error = runRoad(folderFd(), relative, "finishing the decompression of",
                                          engine::finishInPlaceDecompression))
                return error;
            continue;
        }
        file->key = {view.dev, view.ino, view.ctime.tv_sec, view.ctime.tv_nsec};
        if (!S_ISREG(view.mode) || (opensForWriting(flags) && !file->writeFlags))
            break;
        // Recorded, so that a write through the mount to another inode at
        // the name (after the mount's decompression, or Kelvane's swap) moves
        // its reads there. One that unlinked it between the open and the
        // record may have missed the record: the open starts again by name.
        // Without such a write meanwhile none did, and the open costs no status.
        file->inode = opened(id, view);
        struct stat now;
        if (attempt == 3 || file->replacement() >= 0 || writeCount() == writesBefore ||
            (::fstat(file->fd.get(), &now) == 0 && now.st_nlink > 0))
            break;
        closed(std::move(file->inode), id, view.dev, view.ino);
    }
    if (isCompressedFile(view) && !isOverwritten(view, file->fd.get(), folderFd(), relative)) {
        // The platform decodes through the page cache: a read with O_DIRECT
        // below would want aligned buffers. The kernel above still serves
        // the caller's direct reads from the daemon's replies.
        if ((flags & O_DIRECT) && ::fcntl(file->fd.get(), F_SETFL, ::fcntl(file->fd.get(), F_GETFL) & ~O_DIRECT) != 0)
            return errno;
        if (const int error = checkDecodes(*file, view, relative)) {
            // A probe taken within the change time's tick may miss a
            // decompression in place: asked again with the records read.
            if (platform::FileStat now; known && (platform::fstat(file->fd.get(), now) != 0 || !isCompressedFile(now)))
                return openHandle(id, relative, flags, mode, out, answer, false);
            if (!foundOverwritten(file->fd.get(), file->key))
                return error;
            file->decoded.reset();
        }
    }
    // The kernel keeps what it cached of the contents unless they changed
    // since the last open (Kelvane's swaps change neither size nor mtime).
    answer.keepCache = !nodes_.contentsChanged(id, view) && view.nlink <= 1;
    // Closing a file opened only for reading has nothing to hand on below:
    // the kernel keeps fcntl locks itself here, and a flock lock ends with
    // the release. The kernel then sends no flush request at every close:
    // one round trip less per file, which a re-read from the kernel's
    // cache otherwise pays beside the open (about 50 us each here).
    answer.noFlush = !opensForWriting(flags);
    out = std::move(file);
    return 0;
}

int FolderView::open(Id id, int flags, std::unique_ptr<OpenFile>& out, OpenAnswer& answer)
{
    const auto relative = nodes_.path(id);
    if (!relative)
        return ENOENT;
    if (opensForWriting(flags)) {
        // Refused before anything changes for a caller that may not write.
        if (::faccessat(folderFd(), relativeName(*relative), W_OK, AT_EACCESS) != 0)
            return errno;
    }
    return openTruncating(id, *relative, flags, 0, out, answer);
}

// Opens with `flags`; O_TRUNC empties a compressed file first, without
// decoding it, and again should Kelvane compress it in between.
int FolderView::openTruncating(Id id, const std::string& relative, int flags, mode_t mode,
                               std::unique_ptr<OpenFile>& out, OpenAnswer& answer)
{
    int error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (flags & O_TRUNC) {
            error = emptyBeforeWriting(id, relative);
            if (error && !(error == ENOENT && (flags & O_CREAT)))
                return error;
        }
        error = openHandle(id, relative, flags, mode, out, answer);
        if (error == 0 && opensForWriting(flags) && !out->writeFlags)
            writing(id, relative);  // the readers of a file Kelvane swapped meanwhile read on there
        if (!(error == EIO && (flags & O_TRUNC)))
            return error;
    }
    return error;
}

int FolderView::create(Id parent, const std::string& name, mode_t mode, int flags, std::unique_ptr<OpenFile>& out,
                       Entry& entry, OpenAnswer& answer)
{
    const auto relative = nodes_.childPath(parent, name);
    if (!relative)
        return ENOENT;
    if (isMarkedTemporaryNow(*relative))
        return EPERM;
    // The kernel creates by name when it has not looked the name up yet:
    // the file may well be there, and compressed.
    const Id id = nodes_.lookUp(parent, name);
    ExpectedEcho echo(watch_, parent, name, FolderWatch::Echo::created);
    int error = openTruncating(id, *relative, flags | O_CREAT, mode, out, answer);
    if (error == 0) {
        // The entry's lookup is counted before the one taken above is given
        // back, so the node the open file was filed under stays the entry's.
        error = lookUp(parent, name, entry);
        if (error)
            out.reset();
    }
    nodes_.forget(id, 1);
    if (error == 0)
        echo.made();
    return error;
}

// A reader going on near where it stopped gets the next stretch decoded by
// the read-ahead threads while this one is served (docs/performance.md says
// what else was tried); the blocks of this request after its first go to
// those threads too, decoded beside the first one here.
void FolderView::readDecoded(OpenFile& file, std::size_t size, off_t offset, ReadAnswer& answer)
{
    const std::uint64_t logical = file.decoded->size();
    const auto start = static_cast<std::uint64_t>(offset);
    if (start >= logical || size == 0)
        return;
    const std::uint64_t end = std::min<std::uint64_t>(logical, start + size);
    const std::uint64_t first = start / decmpfs::blockSize;
    const std::uint64_t last = (end - 1) / decmpfs::blockSize;

    // The kernel sends a sequential reader's requests several at a time, so
    // they may arrive a little out of order.
    constexpr std::uint64_t kNear = 1u << 20;
    const std::uint64_t previous = file.nextOffset.exchange(end);
    const std::uint64_t blocks = (logical + decmpfs::blockSize - 1) / decmpfs::blockSize;
    const bool sequential = start + kNear >= previous && start <= previous + kNear;
    const std::uint64_t through = std::min(blocks, last + 1 + (sequential ? options_.readAheadBlocks : 0));
    if (through > first + 1)
        cache_.prefetch(file.key, file.decoded, first + 1, through - first - 1);

    for (std::uint64_t index = first; index <= last; ++index) {
        BlockCache::Block block = cache_.get(file.key, file.decoded, index);
        const std::uint64_t blockStart = index * decmpfs::blockSize;
        const std::uint64_t from = std::max(start, blockStart) - blockStart;
        const std::uint64_t to = std::min(end, blockStart + decmpfs::blockSize) - blockStart;
        if (!block || block->size() < to) {
            // Never zero-filled, never cut short: the read fails, unless
            // the file holds another program's bytes now.
            serveLog("block %llu of inode %llu does not decode: %s", static_cast<unsigned long long>(index),
                     static_cast<unsigned long long>(file.key.ino), std::strerror(block ? EIO : errno));
            answer = {};
            answer.error = EIO;
            if (foundOverwritten(file.fd.get(), file.key)) {
                answer.error = 0;
                answer.bytesFd = file.fd.get();
                if (file.inode && !file.inode->replaced.load()) {
                    std::lock_guard lock(openInodesMutex_);
                    if (!file.inode->replaced.load() && (file.inode->current = file.fd.duplicate()))
                        file.inode->replaced.store(true, std::memory_order_release);
                }
            }
            return;
        }
        answer.pieces.push_back({const_cast<std::uint8_t*>(block->data()) + from, static_cast<std::size_t>(to - from)});
        answer.held.push_back(std::move(block));
    }
}

FolderView::ReadAnswer FolderView::read(OpenFile& file, std::size_t size, off_t offset)
{
    ReadAnswer answer;
    const int current = file.current();
    if (file.decoded && current == file.fd.get())
        readDecoded(file, size, offset, answer);
    else
        answer.bytesFd = current;
    return answer;
}

int FolderView::write(OpenFile& file, const char* data, std::size_t size, off_t offset, std::size_t& written)
{
    if (file.decoded && !file.writeFlags)
        return EBADF;
    if (const int error = firstChange(file, false))
        return error;
    const ssize_t count = ::pwrite(file.writeFlags ? file.changedFile() : file.fd.get(), data, size, offset);
    if (count < 0)
        return errno;
    changedThrough(file.node);
    written = static_cast<std::size_t>(count);
    return 0;
}

int FolderView::flush(OpenFile& file)
{
    // Closing a duplicate ends the caller's POSIX locks, as its close would.
    const int copy = ::dup(file.fd.get());
    return copy < 0 || ::close(copy) != 0 ? errno : 0;
}

int FolderView::fsync(OpenFile& file, bool dataOnly)
{
    const int fd = file.current();
    return orErrno(dataOnly ? ::fdatasync(fd) : ::fsync(fd));
}

int FolderView::fallocate(OpenFile& file, int mode, off_t offset, off_t length)
{
    if (file.decoded && !file.writeFlags)
        return EBADF;
    if (const int error = firstChange(file, false))
        return error;
    const int error = orErrno(::fallocate(file.writeFlags ? file.changedFile() : file.fd.get(), mode, offset, length));
    if (error == 0)
        changedThrough(file.node);
    return error;
}

int FolderView::flock(OpenFile& file, int operation) { return orErrno(::flock(file.fd.get(), operation)); }

// --- folders ----------------------------------------------------------------------

int FolderView::openFolder(Id id, std::unique_ptr<OpenFolder>& out)
{
    const auto relative = nodes_.path(id);
    if (!relative)
        return ENOENT;
    const int fd = ::openat(folderFd(), relativeName(*relative), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    auto folder = std::make_unique<OpenFolder>();
    folder->dir = ::fdopendir(fd);
    if (!folder->dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    out = std::move(folder);
    return 0;
}

// Reads the entries that fit `room` from the folder's stream; an entry that
// does not fit is kept for the next request.
std::vector<FolderView::ListedEntry> FolderView::readEntries(OpenFolder& folder, std::size_t room,
                                                             const EntrySize& sizeOf, int& error)
{
    std::vector<ListedEntry> listed;
    std::size_t planned = 0;
    while (const dirent* entry = nextEntry(folder, !listed.empty(), error)) {
        const std::size_t length = sizeOf(entry->d_name);
        if (planned + length > room)
            break;
        planned += length;
        takeEntry(folder, listed);
    }
    return listed;
}

// Probes the listed entries all at once: a cold listing waits on the disk
// for every inode and its records, and one probe after the other kept a
// single request in flight (docs/performance.md has the figures).
void FolderView::probeListed(Id id, const std::string& base, OpenFolder& folder, std::vector<ListedEntry>& listed)
{
    std::vector<std::string> names;
    std::vector<ListedEntry*> toProbe;
    for (ListedEntry& entry : listed) {
        if (isDotOrDotDot(entry.name.c_str()) || !entry.shown)
            continue;
        names.push_back(entry.name);
        toProbe.push_back(&entry);
    }
    std::vector<NodeTable::Listed> found = nodes_.lookUpAll(id, names);
    const int parentFd = ::dirfd(folder.dir);
    listingHelpers_.forEach(found.size(), [&](std::size_t index) {
        NodeTable::Listed& node = found[index];
        ListedEntry& entry = *toProbe[index];
        struct stat st {};
        // An entry gone since the folder was read is not listed.
        if (probeEntry(parentFd, entry.name, node.probe, node.probed, st, [&](const platform::FileStat& view) {
                return isOverwritten(view, -1, parentFd, entry.name);
            }) != 0) {
            node.gone = true;
            entry.shown = false;
            return;
        }
        if (S_ISDIR(st.st_mode))
            watch_.watch(node.id, childOf(base, entry.name));
        fillEntry(node.id, st, entry.entry);
    });
    nodes_.settle(found);
}

// Names alone: entries are added until one does not fit, marked temporaries
// skipped without taking room.
void FolderView::listNames(const std::string& base, OpenFolder& folder, std::size_t room, const EntrySize& sizeOf,
                           std::vector<ListedEntry>& out, int& error)
{
    std::size_t used = 0;
    while (const dirent* entry = nextEntry(folder, !out.empty(), error)) {
        const char* name = entry->d_name;
        if (!isDotOrDotDot(name) && isMarkedTemporary(childOf(base, name))) {
            folder.offset = entry->d_off;
            folder.entry = nullptr;
            continue;
        }
        const std::size_t length = sizeOf(name);
        if (length > room - used)
            return;
        used += length;
        takeEntry(folder, out);
    }
}

int FolderView::list(Id id, OpenFolder& folder, off_t offset, std::size_t room, bool plus, const EntrySize& sizeOf,
                     std::vector<ListedEntry>& out)
{
    const auto base = nodes_.path(id);
    if (!base)
        return ENOENT;
    int error = 0;
    std::lock_guard lock(folder.mutex);
    if (offset != folder.offset) {
        ::seekdir(folder.dir, offset);
        folder.entry = nullptr;
        folder.offset = offset;
    }
    if (!plus) {
        listNames(*base, folder, room, sizeOf, out, error);
        return error;
    }
    // Every entry was planned to fit: each one probed is added, so the
    // kernel holds exactly the lookups counted for it. A marked temporary
    // keeps its planned room, so that none is read twice.
    out = readEntries(folder, room, sizeOf, error);
    for (ListedEntry& entry : out)
        if (!isDotOrDotDot(entry.name.c_str()) && isMarkedTemporary(childOf(*base, entry.name)))
            entry.shown = false;
    probeListed(id, *base, folder, out);
    return error;
}

int FolderView::fsyncFolder(OpenFolder& folder, bool dataOnly)
{
    const int fd = ::dirfd(folder.dir);
    return orErrno(dataOnly ? ::fdatasync(fd) : ::fsync(fd));
}

int FolderView::statfs(struct statvfs& out) { return orErrno(::fstatvfs(folderFd(), &out)); }

int FolderView::access(Id id, int mask)
{
    const auto relative = nodes_.path(id);
    if (!relative)
        return ENOENT;
    return orErrno(::faccessat(folderFd(), relativeName(*relative), mask, AT_EACCESS));
}

// --- extended attributes ------------------------------------------------------------

// The kernel asks for the capability before every write and `ls -l` for
// the label of every entry; nearly always they are absent. Known so while
// every folder is watched, they are answered without a call below (tar xf
// of the documentation asks 23,541 times; a warm ls -lR of the tree 60,000).
ssize_t FolderView::getAttribute(Id id, const char* name, char* value, std::size_t size)
{
    const std::string_view asked(name);
    using Absent = NodeTable::Absent;
    const Absent kept = asked == XATTR_NAME_CAPS      ? Absent::capability
                        : asked == XATTR_NAME_SELINUX ? Absent::label
                                                      : Absent::none;
    std::uint64_t generation = 0;
    if (kept != Absent::none && watched() && nodes_.knownAbsent(id, kept, generation))
        return errno = ENODATA, -1;
    const auto relative = nodes_.path(id);
    if (!relative)
        return errno = ENOENT, -1;
    const ssize_t length = platform::mounted::getAttribute(folderFd(), *relative, name, value, size);
    // For a file with several names, only while each is known: a change
    // through a name not known would reach neither the watch nor this node.
    if (platform::FileStat raw; length < 0 && errno == ENODATA && kept != Absent::none && watched() &&
                                platform::lstatBelow(folderFd(), *relative, raw, false) == 0) {
        if (S_ISDIR(raw.mode) || raw.nlink <= 1 || everyNameKnown(id, raw.dev, raw.ino, raw.nlink))
            nodes_.noteAbsent(id, kept, generation);
        errno = ENODATA;
    }
    return length;
}

ssize_t FolderView::listAttributes(Id id, char* list, std::size_t size)
{
    const auto relative = nodes_.path(id);
    if (!relative)
        return errno = ENOENT, -1;
    return platform::mounted::listAttributes(folderFd(), *relative, list, size);
}

int FolderView::setAttribute(Id id, const char* name, const char* value, std::size_t size, int flags)
{
    const auto relative = nodes_.path(id);
    if (!relative)
        return ENOENT;
    const int error = orErrno(platform::mounted::setAttribute(folderFd(), *relative, name, value, size, flags));
    nodes_.forgetAbsent(id);  // after the call: a look meanwhile notes nothing
    if (error == 0)
        changedThrough(id);
    return error;
}

int FolderView::removeAttribute(Id id, const char* name)
{
    const auto relative = nodes_.path(id);
    if (!relative)
        return ENOENT;
    const int error = orErrno(platform::mounted::removeAttribute(folderFd(), *relative, name));
    nodes_.forgetAbsent(id);
    if (error == 0)
        changedThrough(id);
    return error;
}

// --- open inodes ------------------------------------------------------------------

std::shared_ptr<OpenInode> FolderView::opened(Id node, const platform::FileStat& view)
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
    inode->decoded = isCompressedFile(view);
    return inode;
}

void FolderView::closed(std::shared_ptr<OpenInode> inode, Id node, std::uint64_t dev, std::uint64_t ino)
{
    std::lock_guard lock(openInodesMutex_);
    inode.reset();
    if (const auto found = openInodes_.find({node, dev, ino}); found != openInodes_.end() && found->second.expired())
        openInodes_.erase(found);
}

void FolderView::rewrittenInPlace(const std::string& relative)
{
    platform::FileStat view;
    const platform::UniqueFd now = openBelow(folderFd(), relativeName(relative), O_RDONLY | O_NONBLOCK, 0, view);
    if (!now || isCompressedFile(view))
        return;
    std::lock_guard lock(openInodesMutex_);
    for (const auto& [key, kept] : openInodes_) {
        const auto inode = kept.lock();
        if (!inode || std::get<1>(key) != view.dev || std::get<2>(key) != view.ino || !inode->decoded ||
            inode->replaced.load())
            continue;
        inode->current = now.duplicate();
        if (inode->current)
            inode->replaced.store(true, std::memory_order_release);
    }
}

void FolderView::writing(Id node, const std::string& relative)
{
    changedThrough(node);  // opened for writing, truncated or decompressed
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

}  // namespace kelvane::fs
