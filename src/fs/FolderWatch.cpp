// SPDX-License-Identifier: MIT
#include "fs/FolderWatch.h"

#include "fs/ServeLog.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace kelvane::fs {

namespace {

constexpr std::uint32_t kNameChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kEvents = kNameChanges | IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;

// Kelvane's temporary files are hidden by their marker, set after they
// appear: the marker coming changes the folder's listing too.
bool hasTemporaryForm(std::string_view name) { return name.size() > 6 && name.ends_with(".kvtmp"); }

// File systems whose contents change without this kernel seeing it: shared
// over the network or cluster, or served by a program (FUSE).
bool isChangedElsewhere(unsigned long type)
{
    static constexpr unsigned long kTypes[] = {
        0x6969,      // NFS
        0x517B,      // SMB
        0xFE534D42,  // SMB2
        0xFF534D42,  // CIFS
        0x65735546,  // FUSE (sshfs, another kelvanefs, ...)
        0x01021997,  // 9P
        0x00C36400,  // Ceph
        0x5346414F,  // AFS
        0x6B414653,  // kAFS
        0x73757245,  // Coda
        0x7461636F,  // OCFS2
        0x01161970,  // GFS2
        0x47504653,  // GPFS
        0x0BD00BD0,  // Lustre
    };
    return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

}  // namespace

FolderWatch::FolderWatch(int folderFd) : folderFd_(folderFd) {}

FolderWatch::~FolderWatch() { stop(); }

bool FolderWatch::start(Sink sink)
{
    // inotify hears only of the changes made through this machine's kernel:
    // on a file system that other machines (or a daemon of its own) change,
    // what the kernel keeps could stay wrong for long.
    struct statfs below {};
    if (::fstatfs(folderFd_, &below) == 0 && isChangedElsewhere(below.f_type)) {
        serveLog("the folder below is on a file system changed from elsewhere (type %#lx): the kernel keeps names and "
                 "attributes briefly",
                 static_cast<unsigned long>(below.f_type));
        return false;
    }
    inotify_.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    wake_.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!inotify_ || !wake_) {
        serveLog("changes below cannot be watched (%s): the kernel keeps names and attributes briefly", std::strerror(errno));
        return false;
    }
    sink_ = std::move(sink);
    complete_.store(true, std::memory_order_release);
    if (!watch(NodeTable::rootId, ""))
        return false;
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
    return true;
}

void FolderWatch::stop()
{
    if (!thread_.joinable())
        return;
    thread_.request_stop();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_.get(), &one, sizeof one);
    thread_.join();
}

bool FolderWatch::watch(Id id, const std::string& relative)
{
    if (!inotify_)
        return false;
    std::lock_guard lock(mutex_);
    if (watches_.contains(id))
        return true;
    // The same folder asked for again under a new node (the kernel forgot
    // the old one) gets the same descriptor: its events go to the new node.
    const int wd = ::inotify_add_watch(inotify_.get(), platform::pathBelow(folderFd_, relative).c_str(),
                                       kEvents | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK);
    if (wd < 0) {
        if (complete_.exchange(false))
            serveLog("%s cannot be watched (%s): the kernel keeps names and attributes briefly from now on",
                     relative.empty() ? "." : relative.c_str(), std::strerror(errno));
        return false;
    }
    if (const auto old = nodes_.find(wd); old != nodes_.end())
        watches_.erase(old->second);
    nodes_[wd] = id;
    watches_[id] = wd;
    return true;
}

bool FolderWatch::expect(Id folder, const std::string& name, Echo echo)
{
    std::lock_guard lock(mutex_);
    if (!inotify_ || !watches_.contains(folder))
        return false;
    ++expected_[{folder, name, echo}];
    return true;
}

void FolderWatch::unexpect(Id folder, const std::string& name, Echo echo)
{
    {
        std::lock_guard lock(mutex_);
        const auto found = expected_.find({folder, name, echo});
        if (found != expected_.end()) {
            if (--found->second == 0)
                expected_.erase(found);
            return;
        }
    }
    sink_(Change::names, folder, name);
}

// Whether the names event `mask` of `name` in `folder` is the echo of a
// change the mount made; called with the lock held. A name that goes ends
// whatever creation of it was still expected: a creation that found the
// file there made no event, and the next one of that name, after this,
// is another's.
bool FolderWatch::echoOfExpected(Id folder, const std::string& name, std::uint32_t mask)
{
    const auto take = [&](Echo echo) {
        const auto found = expected_.find({folder, name, echo});
        if (found == expected_.end())
            return false;
        if (--found->second == 0)
            expected_.erase(found);
        return true;
    };
    if (mask & (IN_DELETE | IN_MOVED_FROM))
        expected_.erase({folder, name, Echo::created});
    if (mask & IN_CREATE)
        return take(Echo::created);
    if (mask & IN_DELETE)
        return take(Echo::removed);
    if (mask & IN_MOVED_FROM)
        return take(Echo::movedFrom);
    if (mask & IN_MOVED_TO)
        return take(Echo::movedTo);
    return false;
}

void FolderWatch::run(const std::stop_token& stop)
{
    alignas(inotify_event) char buffer[64 * 1024];
    while (!stop.stop_requested()) {
        pollfd fds[2] = {{inotify_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        for (;;) {
            const ssize_t got = ::read(inotify_.get(), buffer, sizeof buffer);
            if (got <= 0)
                break;
            dispatch(buffer, static_cast<std::size_t>(got));
        }
    }
}

void FolderWatch::dispatch(const char* events, std::size_t length)
{
    for (std::size_t at = 0; at + sizeof(inotify_event) <= length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        at += sizeof(inotify_event) + event->len;
        if (event->mask & IN_Q_OVERFLOW) {
            serveLog("too many changes below at once: the kernel forgets what it kept");
            {
                std::lock_guard lock(mutex_);
                expected_.clear();  // their events may be among the lost
            }
            sink_(Change::everything, 0, {});
            continue;
        }
        Id folder = 0;
        const std::string name = event->len ? std::string(event->name) : std::string();
        {
            std::lock_guard lock(mutex_);
            const auto found = nodes_.find(event->wd);
            if (found == nodes_.end())
                continue;
            folder = found->second;
            if (event->mask & IN_IGNORED) {
                watches_.erase(folder);
                nodes_.erase(found);
                std::erase_if(expected_, [&](const auto& entry) { return std::get<0>(entry.first) == folder; });
                continue;
            }
            if ((event->mask & kNameChanges) && echoOfExpected(folder, name, event->mask))
                continue;
        }
        if ((event->mask & kNameChanges) || ((event->mask & IN_ATTRIB) && hasTemporaryForm(name)))
            sink_(Change::names, folder, name);
        else if (event->mask & (IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF))
            sink_(Change::attributes, folder, name);
        else if (event->mask & IN_MODIFY)
            sink_(Change::contents, folder, name);
    }
}

}  // namespace kelvane::fs
