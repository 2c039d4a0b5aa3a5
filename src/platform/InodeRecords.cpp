// SPDX-License-Identifier: MIT
#include "platform/InodeRecords.h"

#include "platform/DescriptorPath.h"
#include "platform/FileFlags.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <utility>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kelvane::platform::inode {

namespace {

// Pieces in which a fork is hashed: memory stays small whatever its size, and
// below the allocator's mmap threshold, so that hashing on eight workers
// does not map and unmap a buffer (taking the process's mapping lock) per file.
constexpr std::uint64_t kDigestPiece = 64 << 10;

// Repeats `step(done)`, a pread or pwrite of what is left from offset + done,
// until `size` bytes, a step that moves none or an error (EINTR is retried).
template <class Step>
ssize_t positionedFully(std::size_t size, Step step)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t moved = step(done);
        if (moved < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (moved == 0)
            break;
        done += static_cast<std::size_t>(moved);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

ssize_t preadFully(int fd, void* buffer, std::size_t size, off_t offset)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    return positionedFully(size, [&](std::size_t done) {
        return ::pread(fd, bytes + done, size - done, offset + static_cast<off_t>(done));
    });
}

int pwriteFully(int fd, const void* data, std::size_t size, off_t offset)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const ssize_t put = positionedFully(size, [&](std::size_t done) {
        return ::pwrite(fd, bytes + done, size - done, offset + static_cast<off_t>(done));
    });
    if (put < 0)
        return -1;
    if (static_cast<std::size_t>(put) < size) {
        errno = EIO;
        return -1;
    }
    return 0;
}

namespace {

// getxattrat(2) and listxattrat(2) arrived with Linux 6.13; the C library
// has no wrappers yet. New system calls share one number on every
// architecture.
#ifdef SYS_getxattrat
constexpr long kGetxattrat = SYS_getxattrat;
#else
constexpr long kGetxattrat = 464;
#endif
#ifdef SYS_listxattrat
constexpr long kListxattrat = SYS_listxattrat;
#else
constexpr long kListxattrat = 465;
#endif
std::atomic<bool> xattratMissing = false;

// The kernel's argument block of getxattrat.
struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

}  // namespace

ssize_t rawGet(const Ref& ref, const char* name, void* value, std::size_t size)
{
    if (ref.fd >= 0)
        return ::fgetxattr(ref.fd, name, value, size);
    if (ref.directoryFd >= 0 && !xattratMissing.load(std::memory_order_relaxed)) {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(std::min<std::size_t>(size, UINT32_MAX)), 0};
        const long got = ::syscall(kGetxattrat, ref.directoryFd, ref.name, AT_SYMLINK_NOFOLLOW, name, &args, sizeof args);
        if (got >= 0 || errno != ENOSYS)
            return got;
        xattratMissing.store(true, std::memory_order_relaxed);
    }
    return ref.follow ? ::getxattr(ref.path, name, value, size) : ::lgetxattr(ref.path, name, value, size);
}

int rawSet(const Ref& ref, const char* name, const void* value, std::size_t size, int hostFlags)
{
    if (ref.fd >= 0)
        return ::fsetxattr(ref.fd, name, value, size, hostFlags);
    return ref.follow ? ::setxattr(ref.path, name, value, size, hostFlags)
                      : ::lsetxattr(ref.path, name, value, size, hostFlags);
}

int rawRemove(const Ref& ref, const char* name)
{
    if (ref.fd >= 0)
        return ::fremovexattr(ref.fd, name);
    return ref.follow ? ::removexattr(ref.path, name) : ::lremovexattr(ref.path, name);
}

ssize_t rawList(const Ref& ref, char* buffer, std::size_t size)
{
    if (ref.fd >= 0)
        return ::flistxattr(ref.fd, buffer, size);
    if (ref.directoryFd >= 0 && !xattratMissing.load(std::memory_order_relaxed)) {
        const long got = ::syscall(kListxattrat, ref.directoryFd, ref.name, AT_SYMLINK_NOFOLLOW, buffer, size);
        if (got >= 0 || errno != ENOSYS)
            return got;
        xattratMissing.store(true, std::memory_order_relaxed);
    }
    return ref.follow ? ::listxattr(ref.path, buffer, size) : ::llistxattr(ref.path, buffer, size);
}

int rawListAll(const Ref& ref, std::vector<char>& names)
{
    for (;;) {
        const ssize_t needed = rawList(ref, nullptr, 0);
        if (needed < 0)
            return -1;
        names.resize(static_cast<std::size_t>(needed));
        const ssize_t got = rawList(ref, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE)  // ERANGE: an attribute appeared meanwhile
            return -1;
    }
}

ssize_t copyNameList(const std::string& names, char* buffer, std::size_t size)
{
    if (!buffer)
        return static_cast<ssize_t>(names.size());
    if (size < names.size()) {
        errno = ERANGE;
        return -1;
    }
    std::memcpy(buffer, names.data(), names.size());
    return static_cast<ssize_t>(names.size());
}

int rawStatx(const Ref& ref, struct statx& out)
{
    const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
    if (ref.fd >= 0)
        return ::statx(ref.fd, "", AT_EMPTY_PATH, mask, &out);
    if (ref.directoryFd >= 0)
        return ::statx(ref.directoryFd, ref.name, AT_SYMLINK_NOFOLLOW, mask, &out);
    return ::statx(AT_FDCWD, ref.path, ref.follow ? 0 : AT_SYMLINK_NOFOLLOW, mask, &out);
}

int rawChmod(const Ref& ref, mode_t mode)
{
    if (ref.fd >= 0)
        return ::fchmod(ref.fd, mode);
    return ::fchmodat(AT_FDCWD, ref.path, mode, ref.follow ? 0 : AT_SYMLINK_NOFOLLOW);
}

UniqueFd reopen(const Ref& ref, int flags)
{
    flags |= O_CLOEXEC;
    if (ref.fd >= 0) {
        return UniqueFd(::open(descriptorPath(ref.fd).c_str(), flags));
    }
    return UniqueFd(::open(ref.path, ref.follow ? flags : (flags | O_NOFOLLOW)));
}

UniqueFd holdEntry(const Ref& ref)
{
    if (ref.directoryFd >= 0)
        return UniqueFd(::openat(ref.directoryFd, ref.name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    return UniqueFd(::open(ref.path, O_PATH | O_CLOEXEC | (ref.follow ? 0 : O_NOFOLLOW)));
}

int rawGetAll(const Ref& ref, const char* name, std::vector<std::uint8_t>& out)
{
    // One call for nearly every record: a record of the inline type holds
    // its whole compressed stream, up to a few KiB (the folder listings of
    // the mount read one per compressed file). Asking for the size first
    // and reading after took three calls for those.
    std::uint8_t small[4096];
    ssize_t got = rawGet(ref, name, small, sizeof small);
    if (got >= 0) {
        out.assign(small, small + got);
        return 0;
    }
    for (int attempt = 0; attempt < 4 && errno == ERANGE; ++attempt) {
        const ssize_t size = rawGet(ref, name, nullptr, 0);
        if (size < 0)
            return -1;
        out.resize(static_cast<std::size_t>(size));
        got = rawGet(ref, name, out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<std::size_t>(got));
            return 0;
        }
    }
    return -1;
}

bool grantOwnerWrite(const Ref& ref, mode_t& previousMode)
{
    struct statx sx {};
    if (rawStatx(ref, sx) != 0 || sx.stx_uid != ::geteuid() || S_ISLNK(sx.stx_mode))
        return false;
    previousMode = sx.stx_mode & 07777;
    if (previousMode & S_IWUSR)
        return false;  // write permission was not what stood in the way
    return rawChmod(ref, previousMode | S_IWUSR) == 0;
}

void restoreMode(const Ref& ref, mode_t previousMode)
{
    rawChmod(ref, previousMode);
}

bool State::staleCompression() const
{
    return staleForkRecord || ((storedFlags & UF_COMPRESSED) && !compressed);
}

namespace {

// One listxattr in place of a getxattr per record: a file without records
// then costs statx + listxattr instead of statx + three getxattr. On
// operations_bench's 100,000 plain files the load with its inspection went
// from 0.56-0.63 s to 0.41-0.50 s (alternating runs, 8 shared cores). A list
// that does not fit the buffer leaves `listed` false: every record is then
// asked for, as before.
void listRecordNames(const Ref& ref, RecordNames& out)
{
    char list[1024];
    const ssize_t length = rawList(ref, list, sizeof list);
    if (length < 0)
        return;
    out.listed = true;
    static constexpr std::pair<std::string_view, RecordNames::Name> kKnown[] = {
        {kFlagsRecord, RecordNames::flags},
        {kForkRecord, RecordNames::fork},
        {kCreationRecord, RecordNames::creation},
        {kDecmpfsRecord, RecordNames::decmpfs},
        {kForkAttributeRecord, RecordNames::forkAttribute},
    };
    for (ssize_t start = 0; start < length;) {
        const std::size_t size = ::strnlen(list + start, static_cast<std::size_t>(length - start));
        const std::string_view name(list + start, size);
        start += static_cast<ssize_t>(size) + 1;
        for (const auto& [known, bit] : kKnown)
            if (name == known)
                out.present |= bit;
    }
}

// Verdicts of isAppendedToFork, so that an appended fork is hashed once per
// change of the file rather than at every lstat. Keyed by everything a write
// changes (ctime moves with every write and attribute change).
struct AppendedVerdict {
    std::uint32_t devMajor = 0, devMinor = 0;
    std::uint64_t inode = 0, size = 0, forkLength = 0;
    std::int64_t ctimeSeconds = 0;
    std::uint32_t ctimeNanoseconds = 0;
    Sha256Digest digest{};
    bool appended = false;

    bool sameFile(const AppendedVerdict& other) const
    {
        return devMajor == other.devMajor && devMinor == other.devMinor && inode == other.inode &&
               size == other.size && forkLength == other.forkLength && ctimeSeconds == other.ctimeSeconds &&
               ctimeNanoseconds == other.ctimeNanoseconds && digest == other.digest;
    }
};

class AppendedVerdicts {
public:
    std::optional<bool> find(const AppendedVerdict& key)
    {
        const std::lock_guard lock(mutex_);
        for (const AppendedVerdict& entry : entries_)
            if (entry.sameFile(key))
                return entry.appended;
        return std::nullopt;
    }
    void remember(const AppendedVerdict& verdict)
    {
        const std::lock_guard lock(mutex_);
        entries_[next_++ % entries_.size()] = verdict;
    }

private:
    std::mutex mutex_;
    std::array<AppendedVerdict, 16> entries_{};
    std::size_t next_ = 0;
};

AppendedVerdicts& appendedVerdicts()
{
    static AppendedVerdicts verdicts;
    return verdicts;
}

// A compressed file whose data stream is longer than its recorded fork: did
// another program append to it (the stream begins with exactly the recorded
// fork) or write something else? Records without a digest cannot tell and
// keep the length rule: the file is what it now holds.
bool isAppendedToFork(const Ref& ref, const State& state)
{
    if (!state.forkDigest || !(state.storedFlags & UF_COMPRESSED) || *state.forkRecord == kForkLengthOpen ||
        *state.forkRecord >= state.raw.stx_size)
        return false;
    AppendedVerdict key;
    key.devMajor = state.raw.stx_dev_major;
    key.devMinor = state.raw.stx_dev_minor;
    key.inode = state.raw.stx_ino;
    key.size = state.raw.stx_size;
    key.forkLength = *state.forkRecord;
    key.ctimeSeconds = state.raw.stx_ctime.tv_sec;
    key.ctimeNanoseconds = state.raw.stx_ctime.tv_nsec;
    key.digest = *state.forkDigest;
    if (const auto known = appendedVerdicts().find(key))
        return *known;
    const int saved = errno;
    Sha256Digest digest{};
    key.appended = digestOfDataStream(ref, *state.forkRecord, digest) == 0 && digest == *state.forkDigest;
    errno = saved;
    appendedVerdicts().remember(key);
    return key.appended;
}

}  // namespace

bool stillNames(const Ref& ref, const struct statx& seen)
{
    if (ref.fd >= 0)
        return true;
    struct statx now {};
    if (rawStatx(ref, now) != 0)
        return false;
    const auto same = [](const statx_timestamp& a, const statx_timestamp& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    if (now.stx_ino != seen.stx_ino || now.stx_dev_major != seen.stx_dev_major ||
        now.stx_dev_minor != seen.stx_dev_minor)
        return false;
    const bool writtenSince = same(now.stx_ctime, now.stx_mtime) && !same(now.stx_mtime, seen.stx_mtime);
    return same(now.stx_ctime, seen.stx_ctime) || writtenSince;
}

int readState(const Ref& ref, State& out)
{
    return readWhole(ref, out, [&](State& state) { return readStateOnce(ref, state); });
}

int readStateOnce(const Ref& ref, State& out)
{
    out = State{};
    // An entry of an open folder: every call below looks the name up there.
    // Where the host lacks the *xattrat calls, all of it goes by path, so
    // that no answer mixes the two lookups.
    if (ref.directoryFd >= 0 && xattratMissing.load(std::memory_order_relaxed))
        return readStateOnce(Ref::ofPath(ref.path, false), out);
    if (rawStatx(ref, out.raw) != 0)
        return -1;
    if (S_ISLNK(out.raw.stx_mode))
        return 0;  // Linux keeps no user attributes on links

    listRecordNames(ref, out.names);
    if (ref.directoryFd >= 0 && xattratMissing.load(std::memory_order_relaxed))
        return readStateOnce(Ref::ofPath(ref.path, false), out);  // learnt just now
    std::uint8_t buffer[16];
    if (out.names.mayHave(RecordNames::flags)) {
        if (ssize_t got = rawGet(ref, kFlagsRecord, buffer, sizeof buffer); got == 4)
            out.storedFlags = le::load32(buffer);
    }
    if (out.isRegular() && out.names.mayHave(RecordNames::fork)) {
        std::uint8_t record[kForkRecordWithDigest + 1];
        const ssize_t got = rawGet(ref, kForkRecord, record, sizeof record);
        if (got == kForkRecordLengthOnly || got == kForkRecordWithDigest)
            out.forkRecord = le::load64(record);
        if (got == kForkRecordWithDigest) {
            out.forkDigest.emplace();
            std::memcpy(out.forkDigest->data(), record + kForkRecordLengthOnly, out.forkDigest->size());
        }
    }

    const std::uint64_t streamLength = out.raw.stx_size;
    if (out.forkRecord) {
        out.forkInData = *out.forkRecord == kForkLengthOpen || *out.forkRecord == streamLength;
        if (!out.forkInData && isAppendedToFork(ref, out)) {
            out.forkInData = true;
            out.appendedLength = streamLength - *out.forkRecord;
        }
        out.staleForkRecord = !out.forkInData;
    }
    // A compressed file's data fork is empty: a non-empty stream that is not
    // the fork means someone wrote the file since.
    out.compressed = (out.storedFlags & UF_COMPRESSED) && !out.staleForkRecord &&
                     (out.forkInData || streamLength == 0);
    out.flags = out.compressed ? out.storedFlags : (out.storedFlags & ~UF_COMPRESSED);
    return 0;
}

int writeFlagsRecord(const Ref& ref, std::uint32_t flags)
{
    if (flags == 0) {
        const int result = rawRemove(ref, kFlagsRecord);
        return (result != 0 && errno == ENODATA) ? 0 : result;
    }
    std::uint8_t bytes[4];
    le::store32(bytes, flags);
    return rawSet(ref, kFlagsRecord, bytes, sizeof bytes, 0);
}

int writeForkRecord(const Ref& ref, std::uint64_t length, const std::optional<Sha256Digest>& digest)
{
    std::uint8_t bytes[kForkRecordWithDigest];
    le::store64(bytes, length);
    if (!digest)
        return rawSet(ref, kForkRecord, bytes, kForkRecordLengthOnly, 0);
    std::memcpy(bytes + kForkRecordLengthOnly, digest->data(), digest->size());
    return rawSet(ref, kForkRecord, bytes, sizeof bytes, 0);
}

int digestOfDataStream(const Ref& ref, std::uint64_t length, Sha256Digest& out)
{
    const UniqueFd fd = reopen(ref, O_RDONLY);
    if (!fd)
        return -1;
    Sha256 hasher;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, kDigestPiece)));
    for (std::uint64_t done = 0; done < length;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - done));
        const ssize_t got = preadFully(fd.get(), buffer.data(), want, static_cast<off_t>(done));
        if (got < 0)
            return -1;
        if (static_cast<std::size_t>(got) != want) {
            errno = EIO;
            return -1;
        }
        hasher.update(std::span(buffer.data(), want));
        done += want;
    }
    out = hasher.finish();
    return 0;
}

int dropStaleRecords(const Ref& ref, const State& state)
{
    if (!state.staleCompression())
        return 0;
    return asOwner(ref, [&] {
        if (state.forkRecord && rawRemove(ref, kForkRecord) != 0 && errno != ENODATA)
            return -1;
        if (rawRemove(ref, kDecmpfsRecord) != 0 && errno != ENODATA)
            return -1;
        return writeFlagsRecord(ref, state.storedFlags & ~UF_COMPRESSED);
    });
}

}  // namespace kelvane::platform::inode
