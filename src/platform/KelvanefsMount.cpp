// SPDX-License-Identifier: MIT
#include "platform/KelvanefsMount.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/time.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kelvane::platform {

namespace {

std::string hex64(std::uint64_t value)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (std::size_t i = 16; i-- > 0; value >>= 4)
        out[i] = digits[value & 15];
    return out;
}

}  // namespace

bool isAtOrBelow(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    const std::string& text = path.native();
    const std::string& base = folder.native();
    if (base == "/")
        return true;
    return text == base || (text.size() > base.size() && text.compare(0, base.size(), base) == 0 && text[base.size()] == '/');
}

std::filesystem::path kelvanefsRuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        return std::filesystem::path(runtime) / "kelvane";
    const std::string user = std::to_string(::geteuid());
    const std::filesystem::path perUser = "/run/user/" + user;
    struct stat st {};
    if (::stat(perUser.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
        return perUser / "kelvane";
    return "/tmp/kelvane-" + user;
}

std::filesystem::path kelvanefsSocketPath(const std::filesystem::path& mountPoint)
{
    std::uint64_t hash = 0xcbf29ce484222325u;  // 64-bit FNV-1a of the mount point
    for (const char c : mountPoint.native()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3u;
    }
    return kelvanefsRuntimeFolder() / ("mount-" + hex64(hash) + ".sock");
}

std::optional<MountEntry> kelvanefsMountOf(const MountTable& table, const std::filesystem::path& path)
{
    // The table lists mounts in the order they were made: a later mount at
    // or below an earlier one covers it.
    std::optional<MountEntry> innermost;
    for (const MountEntry& entry : table.entries()) {
        if (!isAtOrBelow(path, entry.mountPoint))
            continue;
        if (innermost && !isAtOrBelow(entry.mountPoint, innermost->mountPoint))
            continue;
        innermost = entry;
    }
    if (innermost && innermost->fsType == kKelvanefsType)
        return innermost;
    return std::nullopt;
}

UniqueFd receiveFolderDescriptor(const std::filesystem::path& socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.native().size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return UniqueFd();
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.native().size());
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket)
        return UniqueFd();
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return UniqueFd();
    // A daemon that is stopped or stuck must not hold every path call of
    // ours: its answer is waited for a few seconds at most.
    const timeval limit{5, 0};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ucred peer{};
    socklen_t peerLength = sizeof peer;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0)
        return UniqueFd();
    if (peer.uid != ::geteuid()) {
        errno = EPERM;
        return UniqueFd();
    }

    return receiveDescriptor(socket.get());
}

UniqueFd receiveDescriptor(int socket)
{
    char byte = 0;
    iovec data{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return UniqueFd();
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
    if (got != 1 || !header || header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS ||
        header->cmsg_len != CMSG_LEN(sizeof(int))) {
        errno = EPROTO;
        return UniqueFd();
    }
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
    return UniqueFd(fd);
}

namespace {

// The daemon's death is seen by the kernel at once: every request to it
// fails with ENOTCONN. statfs always makes one; a stat may be answered from
// the attribute cache and succeed on a dead mount.
bool daemonIsGone(const std::filesystem::path& mountPoint)
{
    struct statfs sf {};
    return ::statfs(mountPoint.c_str(), &sf) != 0 && errno == ENOTCONN;
}

class MountResolver;
MountResolver& resolver();

struct Reach {
    std::optional<std::filesystem::path> path;
    std::string reason;  // when there is no path
    std::optional<std::filesystem::path> mountPoint;  // of the kelvanefs mount that covers it
};

// The kelvanefs mounts of this process's mount table and the folder
// descriptors their sockets handed out (asked for once per mount).
//
// Every platform path call asks here, from every worker at once, so the
// common case (no kelvanefs mount anywhere) is one atomic load: no lock, no
// system call. A thread blocks on /proc/self/mountinfo and reloads the table
// when the kernel says it changed; a mount that appears is seen by path calls
// once that thread has run, and at once by `exactly` (the engine's check
// before it touches a file), which asks the kernel itself.
//
// The kernel keeps one "changed since" mark per open descriptor of the
// table, and a poll that reports the change clears it. So each thread that
// asks `exactly` polls a descriptor of its own: polling a shared one, a
// thread could take the change another needed and go on with the old table
// (a mount just made was missed: two of 120 runs of the two mount tests that
// check it, beside the other mount tests). A thread that sees no change on
// its own descriptor knows the table was read after its last look: every
// read replaces the table under the lock, and the newest read wins.
//
// The table and the descriptors are one snapshot, replaced whole under the
// lock; a reader holds the lock only to take the snapshot, so the workers of
// a bulk run, which all ask here for every call, seldom wait for each other.
// (A lock-free pointer would leave a child forked mid-read with its lock bit
// set; the lock is taken across a fork.)
class MountResolver {
public:
    MountResolver()
    {
        // A forked child has no watcher thread and shares the parent's
        // descriptors (polling or reading them would take the parent's change
        // events): it starts afresh at its first call, and each thread's own
        // descriptor is opened again. The lock keeps the table whole across
        // the fork.
        ::pthread_atfork([] { resolver().mutex_.lock(); }, [] { resolver().mutex_.unlock(); },
                         [] {
                             MountResolver& self = resolver();
                             self.watching_.store(false, std::memory_order_relaxed);
                             self.started_.store(false, std::memory_order_relaxed);
                             self.generation_.fetch_add(1, std::memory_order_relaxed);
                             self.watch_.reset();
                             self.mutex_.unlock();
                         });
    }

    // `exactly`: the table as it is now, not as the watcher last saw it.
    Reach resolve(const std::filesystem::path& path, bool exactly)
    {
        if (!started_.load(std::memory_order_acquire))
            start();
        if (exactly || !watching_.load(std::memory_order_acquire))
            catchUp();
        if (!mounted_.load(std::memory_order_acquire))
            return {path, {}, std::nullopt};
        const std::string text = absoluteNormalPath(path).native();
        if (auto reach = reachThrough(*current(), path, text))
            return std::move(*reach);
        // A mount not asked for its folder yet.
        std::lock_guard lock(mutex_);
        const std::shared_ptr<const Snapshot> known = snapshot_;
        if (auto reach = reachThrough(*known, path, text))
            return std::move(*reach);
        const auto mount = kelvanefsMountOf(known->table, text);
        const std::filesystem::path socket = kelvanefsSocketPath(mount->mountPoint);
        UniqueFd fd = receiveFolderDescriptor(socket);
        if (!fd)
            return {std::nullopt,
                    "the kelvanefs mount at " + mount->mountPoint.string() + " cannot be reached (socket " +
                        socket.string() + ": " + std::strerror(errno) + ")",
                    mount->mountPoint};
        auto next = std::make_shared<Snapshot>(*known);
        next->descriptors.emplace(mount->mountId, std::make_shared<UniqueFd>(std::move(fd)));
        snapshot_ = next;
        return *reachThrough(*next, path, text);
    }

private:
    struct Snapshot;

    std::shared_ptr<const Snapshot> current()
    {
        const std::lock_guard lock(mutex_);
        return snapshot_;
    }

    struct Snapshot {
        MountTable table;
        std::vector<int> mounts;  // the kelvanefs ones
        std::map<int, std::shared_ptr<const UniqueFd>> descriptors;
    };

    // Where calls for `path` (`text`: its absolute normal form) go: `path`
    // itself when no kelvanefs mount covers it, the path below when its
    // mount's folder is known; nothing when the mount's socket must be asked
    // first.
    static std::optional<Reach> reachThrough(const Snapshot& known, const std::filesystem::path& path,
                                             const std::string& text)
    {
        if (known.mounts.empty())
            return Reach{path, {}, std::nullopt};
        const auto mount = kelvanefsMountOf(known.table, text);
        if (!mount)
            return Reach{path, {}, std::nullopt};
        const auto found = known.descriptors.find(mount->mountId);
        if (found == known.descriptors.end())
            return std::nullopt;
        const std::string& point = mount->mountPoint.native();
        std::string_view relative = std::string_view(text).substr(point == "/" ? 1 : point.size());
        while (!relative.empty() && relative.front() == '/')
            relative.remove_prefix(1);
        return Reach{std::filesystem::path(pathBelow(found->second->get(), relative)), {}, mount->mountPoint};
    }

    void start()
    {
        std::lock_guard lock(mutex_);
        if (started_.load(std::memory_order_relaxed))
            return;
        // Opened before the table is read: a change after the read is an event.
        watch_.reset(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
        reload();
        if (watch_) {
            try {
                std::thread([this, fd = watch_.get()] { watchChanges(fd); }).detach();
                watching_.store(true, std::memory_order_release);
            } catch (const std::system_error&) {
                // No thread: every call looks at the table itself, as `exactly` does.
            }
        }
        started_.store(true, std::memory_order_release);
    }

    void watchChanges(int fd)
    {
        for (;;) {
            pollfd event{fd, POLLPRI, 0};
            const int ready = ::poll(&event, 1, -1);
            std::lock_guard lock(mutex_);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0 || (event.revents & POLLNVAL)) {
                watching_.store(false, std::memory_order_release);
                return;
            }
            if (event.revents & (POLLPRI | POLLERR))
                reload();
        }
    }

    // Makes the table at least as new as this moment, as seen by this
    // thread's own descriptor: reread when it reports a change, or when the
    // descriptor is new (it reports only what comes after its opening).
    void catchUp()
    {
        struct OwnCheck {
            UniqueFd fd;
            unsigned generation = 0;
        };
        thread_local OwnCheck own;
        const unsigned generation = generation_.load(std::memory_order_relaxed) + 1;
        if (own.generation != generation || !own.fd) {
            own.fd.reset(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
            own.generation = generation;
            std::lock_guard lock(mutex_);
            reload();
            return;
        }
        pollfd event{own.fd.get(), POLLPRI, 0};
        if (::poll(&event, 1, 0) > 0 && (event.revents & (POLLPRI | POLLERR))) {
            std::lock_guard lock(mutex_);
            reload();
        }
    }

    // Called with the lock held.
    void reload()
    {
        // Reading the table through the watched descriptor acknowledges the change.
        if (watch_) {
            char chunk[4096];
            ::lseek(watch_.get(), 0, SEEK_SET);
            while (::read(watch_.get(), chunk, sizeof chunk) > 0) {
            }
        }
        auto next = std::make_shared<Snapshot>();
        next->table = MountTable::read("/proc").value_or(MountTable{});
        for (const MountEntry& entry : next->table.entries())
            if (entry.fsType == kKelvanefsType)
                next->mounts.push_back(entry.mountId);
        // A descriptor stays valid only while its mount is there.
        for (const auto& [mountId, fd] : snapshot_->descriptors)
            if (std::find(next->mounts.begin(), next->mounts.end(), mountId) != next->mounts.end())
                next->descriptors.emplace(mountId, fd);
        const bool mounted = !next->mounts.empty();
        snapshot_ = std::move(next);
        mounted_.store(mounted, std::memory_order_release);
    }

    std::atomic<bool> started_{false};
    std::atomic<bool> watching_{false};  // a thread reloads the table on every change
    std::atomic<bool> mounted_{false};   // the table holds a kelvanefs mount
    std::atomic<unsigned> generation_{0};  // a fork makes every thread's own descriptor stale
    std::mutex mutex_;
    std::shared_ptr<const Snapshot> snapshot_ = std::make_shared<const Snapshot>();  // under the lock
    UniqueFd watch_;  // the watcher thread's
};

// Never destroyed: the watcher thread may run until the process ends.
MountResolver& resolver()
{
    static MountResolver* const instance = new MountResolver;
    return *instance;
}

}  // namespace

std::optional<std::filesystem::path> pathForCalls(const std::filesystem::path& path)
{
    Reach reach = resolver().resolve(path, false);
    if (!reach.path)
        errno = ENOTCONN;
    return reach.path;
}

std::optional<std::string> unreachableMountReason(const std::filesystem::path& path)
{
    Reach reach = resolver().resolve(path, true);
    if (reach.path)
        return std::nullopt;
    return reach.reason;
}

MountService mountServiceOf(const std::filesystem::path& path)
{
    const Reach reach = resolver().resolve(path, true);
    if (!reach.mountPoint)
        return {MountService::State::noMount, {}};
    if (!reach.path)
        return {MountService::State::unreachable, *reach.mountPoint};
    // The folder below stays reachable through a descriptor handed out
    // before the daemon died; the mount point tells whether it still serves.
    if (daemonIsGone(*reach.mountPoint))
        return {MountService::State::dead, *reach.mountPoint};
    return {MountService::State::served, *reach.mountPoint};
}

std::filesystem::path absoluteNormalPath(const std::filesystem::path& path)
{
    std::error_code code;
    std::string text =
        (path.is_absolute() ? path : std::filesystem::current_path(code) / path).lexically_normal().native();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

namespace {

KelvanefsMountHealth healthOf(const MountEntry& entry)
{
    if (daemonIsGone(entry.mountPoint))
        return KelvanefsMountHealth::dead;
    // A descriptor handed out earlier outlives both the daemon and its
    // socket, so the socket itself is asked.
    if (!receiveFolderDescriptor(kelvanefsSocketPath(entry.mountPoint)))
        return KelvanefsMountHealth::socketMissing;
    return KelvanefsMountHealth::live;
}

}  // namespace

bool isOwnKelvanefsMount(const MountEntry& entry)
{
    if (entry.fsType != kKelvanefsType)
        return false;
    const auto owner = entry.optionValue("user_id");
    return owner && *owner == std::to_string(::geteuid());
}

std::vector<KelvanefsMountState> kelvanefsMountStates()
{
    std::vector<KelvanefsMountState> states;
    const MountTable table = MountTable::read("/proc").value_or(MountTable{});
    for (const MountEntry& entry : table.entries())
        if (isOwnKelvanefsMount(entry))
            states.push_back(KelvanefsMountState{entry, healthOf(entry)});
    return states;
}

std::optional<KelvanefsMountState> kelvanefsMountState(const std::filesystem::path& path)
{
    const MountTable table = MountTable::read("/proc").value_or(MountTable{});
    const auto mount = kelvanefsMountOf(table, absoluteNormalPath(path));
    if (!mount)
        return std::nullopt;
    return KelvanefsMountState{*mount, healthOf(*mount)};
}

}  // namespace kelvane::platform
