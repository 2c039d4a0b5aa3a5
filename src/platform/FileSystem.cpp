// SPDX-License-Identifier: MIT
#include "platform/FileSystem.h"

#include "platform/DecmpfsRecord.h"
#include "platform/DescriptorPath.h"
#include "platform/FileFlags.h"
#include "platform/InodeRecords.h"
#include "platform/KelvanefsMount.h"
#include "platform/Sha256.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace kelvane::platform {

namespace {

using inode::Ref;
using inode::State;
using inode::preadFully;
using inode::pwriteFully;

constexpr const char* kLinuxForkAttribute = inode::kForkAttributeRecord;
constexpr const char* kLinuxDecmpfsAttribute = inode::kDecmpfsRecord;

enum class ForkPlace { none, dataStream, attribute };

bool isResourceFork(std::string_view name) { return name == kResourceForkXattrName; }
bool isDecmpfs(std::string_view name) { return name == kDecmpfsXattrName; }
bool isCompressionName(std::string_view name) { return isResourceFork(name) || isDecmpfs(name); }

// The Linux name of attribute `name`, or an errno for names the layer refuses.
int linuxName(std::string_view name, std::string& out)
{
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return EINVAL;
    out.assign(inode::kUserPrefix);
    out.append(name);
    if (out.compare(0, inode::kInternalPrefix.size(), inode::kInternalPrefix) == 0)
        return EPERM;  // would reach the stand-in's own records
    return 0;
}

bool optionsValid(int options, int allowed)
{
    return (options & ~allowed) == 0;
}

ForkPlace forkPlace(const Ref& ref, const State& state)
{
    if (state.forkInData)
        return ForkPlace::dataStream;
    if (state.names.mayHave(inode::RecordNames::forkAttribute) &&
        inode::rawGet(ref, kLinuxForkAttribute, nullptr, 0) >= 0)
        return ForkPlace::attribute;
    return ForkPlace::none;
}

bool hiddenByCompression(const State& state, int options)
{
    return state.compressed && !(options & XATTR_SHOWCOMPRESSION);
}

// The opening checks of an attribute call: EINVAL where the options are not
// valid, the errno of linuxName where the name is refused. On success
// `hostName` holds the Linux name and the result is 0; otherwise -1.
int acceptAttributeCall(bool optionsOk, std::string_view name, std::string& hostName)
{
    if (!optionsOk) {
        errno = EINVAL;
        return -1;
    }
    if (const int refused = linuxName(name, hostName)) {
        errno = refused;
        return -1;
    }
    return 0;
}

// Reads the state of a file asked about one of the compression names: -1 with
// ENOATTR where the options hide that name (or the decmpfs record is stale),
// -1 where the state cannot be read, 0 otherwise.
int readCompressionNameState(const Ref& ref, std::string_view name, int options, State& state)
{
    if (inode::readState(ref, state) != 0)
        return -1;
    if (hiddenByCompression(state, options) || (isDecmpfs(name) && state.staleCompression())) {
        errno = ENOATTR;
        return -1;
    }
    return 0;
}

// What the compression names decide in a get or remove: `forkCall` on the file's
// state for the fork, -1 where that state is unreadable or hides the name,
// nothing where the host attribute is used.
template <class ForkCall>
std::optional<ssize_t> compressionNameCall(const Ref& ref, std::string_view name, int options, ForkCall forkCall)
{
    if (!isCompressionName(name))
        return std::nullopt;
    State state;
    if (readCompressionNameState(ref, name, options, state) != 0)
        return -1;
    if (isResourceFork(name))
        return forkCall(state);
    return std::nullopt;
}

// Drops the records of a compression that no longer holds and reads the state
// again; nothing to do where the compression is not stale. 0 on success.
//
// By path, the records go from the file held open here, read afresh: a file
// renamed over the name since the state was read keeps its own. Dropping by
// path took a compressed file's records away in that case, leaving its
// fork to be read as its data (seen in a test that swaps the two under a
// stream of write-opens).
int dropStaleCompression(const Ref& ref, State& state)
{
    if (!state.staleCompression())
        return 0;
    if (ref.fd >= 0)
        return inode::dropStaleRecords(ref, state) != 0 || inode::readState(ref, state) != 0 ? -1 : 0;
    const UniqueFd held = inode::holdEntry(ref);
    if (!held)
        return -1;
    struct statx heldRaw {};
    if (inode::rawStatx(Ref::ofFd(held.get()), heldRaw) != 0)
        return -1;
    // A link carries no records (and its path here would lead past it).
    if (!S_ISLNK(heldRaw.stx_mode)) {
        const std::string heldPath = descriptorPath(held.get());
        const Ref heldRef = Ref::ofPath(heldPath.c_str(), true);
        State heldState;
        if (inode::readState(heldRef, heldState) != 0 || inode::dropStaleRecords(heldRef, heldState) != 0)
            return -1;
    }
    return inode::readState(ref, state);
}

// The fork of a file that another program appended to is followed by the
// appended bytes in the data stream: changing the fork in place would lose
// them. Such a file is decompressed first (EBUSY, as a write-open of any
// compressed file).
int refuseAppended(const State& state)
{
    if (state.appendedLength == 0)
        return 0;
    errno = EBUSY;
    return -1;
}

ssize_t getResourceFork(const Ref& ref, const State& state, void* value, std::size_t size,
                        std::uint32_t position)
{
    switch (forkPlace(ref, state)) {
    case ForkPlace::none:
        errno = ENOATTR;
        return -1;
    case ForkPlace::dataStream: {
        const auto length = static_cast<std::int64_t>(state.forkLength());
        if (!value)
            return static_cast<ssize_t>(length);
        if (position >= length)
            return 0;
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(size), length - position));
        UniqueFd fd = inode::reopen(ref, O_RDONLY);
        if (!fd)
            return -1;
        return preadFully(fd.get(), value, want, position);
    }
    case ForkPlace::attribute: {
        std::vector<std::uint8_t> fork;
        if (inode::rawGetAll(ref, kLinuxForkAttribute, fork) != 0)
            return -1;
        if (!value)
            return static_cast<ssize_t>(fork.size());
        if (position >= fork.size())
            return 0;
        const std::size_t want = std::min(size, fork.size() - position);
        std::memcpy(value, fork.data() + position, want);
        return static_cast<ssize_t>(want);
    }
    }
    errno = EIO;
    return -1;
}

// Writes the fork into the data stream: the record is set to "open" first, so
// a crash mid-way leaves a fork of some length rather than stray data.
int writeForkToDataStream(const Ref& ref, const void* value, std::size_t size, std::uint32_t position)
{
    return inode::asOwner(ref, [&] {
        if (inode::writeForkRecord(ref, inode::kForkLengthOpen) != 0)
            return -1;
        UniqueFd fd = inode::reopen(ref, O_WRONLY);
        if (!fd)
            return -1;
        if (pwriteFully(fd.get(), value, size, position) != 0)
            return -1;
        if (position == 0 && ::ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
            return -1;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return -1;
        const auto length = static_cast<std::uint64_t>(st.st_size);
        Sha256Digest digest;
        if (position == 0)
            digest = Sha256::digest(std::span(static_cast<const std::uint8_t*>(value), size));
        else if (inode::digestOfDataStream(ref, length, digest) != 0)
            return -1;
        return inode::writeForkRecord(ref, length, digest);
    });
}

int writeForkToAttribute(const Ref& ref, const void* value, std::size_t size, std::uint32_t position)
{
    std::vector<std::uint8_t> fork;
    if (position != 0) {
        if (inode::rawGetAll(ref, kLinuxForkAttribute, fork) != 0 && errno != ENODATA)
            return -1;
        if (fork.size() < position + size)
            fork.resize(position + size);
        if (size)
            std::memcpy(fork.data() + position, value, size);
        value = fork.data();
        size = fork.size();
    }
    return inode::asOwner(ref, [&] { return inode::rawSet(ref, kLinuxForkAttribute, value, size, 0); });
}

int setResourceFork(const Ref& ref, const void* value, std::size_t size, std::uint32_t position, int options)
{
    State state;
    if (inode::readState(ref, state) != 0)
        return -1;
    if (dropStaleCompression(ref, state) != 0)
        return -1;
    if (!state.isRegular()) {
        errno = EPERM;
        return -1;
    }
    if (refuseAppended(state) != 0)
        return -1;
    const ForkPlace place = forkPlace(ref, state);
    if ((options & XATTR_CREATE) && place != ForkPlace::none) {
        errno = EEXIST;
        return -1;
    }
    if ((options & XATTR_REPLACE) && place == ForkPlace::none) {
        errno = ENOATTR;
        return -1;
    }
    const bool intoData = place == ForkPlace::dataStream ||
                          (place == ForkPlace::none && state.dataStreamSize() == 0);
    if (intoData)
        return writeForkToDataStream(ref, value, size, position);
    return writeForkToAttribute(ref, value, size, position);
}

int removeResourceFork(const Ref& ref, const State& state)
{
    if (refuseAppended(state) != 0)
        return -1;
    switch (forkPlace(ref, state)) {
    case ForkPlace::none:
        errno = ENOATTR;
        return -1;
    case ForkPlace::dataStream:
        return inode::asOwner(ref, [&] {
            UniqueFd fd = inode::reopen(ref, O_WRONLY);
            if (!fd || ::ftruncate(fd.get(), 0) != 0)
                return -1;
            return inode::rawRemove(ref, inode::kForkRecord);
        });
    case ForkPlace::attribute:
        return inode::asOwner(ref, [&] { return inode::rawRemove(ref, kLinuxForkAttribute); });
    }
    errno = EIO;
    return -1;
}

ssize_t getAttribute(const Ref& ref, std::string_view name, void* value, std::size_t size,
                     std::uint32_t position, int options)
{
    std::string hostName;
    if (acceptAttributeCall(optionsValid(options, XATTR_NOFOLLOW | XATTR_SHOWCOMPRESSION), name, hostName) != 0)
        return -1;
    if (!isResourceFork(name) && position != 0) {
        errno = EINVAL;
        return -1;
    }
    if (const auto result = compressionNameCall(
            ref, name, options, [&](State& state) { return getResourceFork(ref, state, value, size, position); }))
        return *result;
    return inode::rawGet(ref, hostName.c_str(), value, value ? size : 0);
}

int setAttribute(const Ref& ref, std::string_view name, const void* value, std::size_t size,
                 std::uint32_t position, int options)
{
    const bool optionsOk =
        optionsValid(options, XATTR_NOFOLLOW | XATTR_CREATE | XATTR_REPLACE | XATTR_SHOWCOMPRESSION) &&
        !((options & XATTR_CREATE) && (options & XATTR_REPLACE)) && !(!value && size);
    std::string hostName;
    if (acceptAttributeCall(optionsOk, name, hostName) != 0)
        return -1;
    if (isResourceFork(name))
        return setResourceFork(ref, value, size, position, options);
    if (position != 0) {
        errno = EINVAL;
        return -1;
    }
    const int hostFlags = (options & XATTR_CREATE) ? ::XATTR_CREATE : (options & XATTR_REPLACE) ? ::XATTR_REPLACE : 0;
    static const std::uint8_t empty = 0;
    return inode::asOwner(ref, [&] { return inode::rawSet(ref, hostName.c_str(), value ? value : &empty, size, hostFlags); });
}

bool endsWithForkSuffix(const std::filesystem::path& path)
{
    return path.filename() == "rsrc" && path.parent_path().filename() == "..namedfork";
}

int memoryCopy(const std::vector<std::uint8_t>& bytes)
{
    UniqueFd fd(::memfd_create("kelvane-rsrc", MFD_CLOEXEC));
    if (!fd || pwriteFully(fd.get(), bytes.data(), bytes.size(), 0) != 0)
        return -1;
    return fd.release();
}

// A read-only copy of the first `length` bytes of `file`'s data stream.
int memoryCopyOfPrefix(const std::filesystem::path& file, int hostFlags, std::uint64_t length)
{
    UniqueFd source(::open(file.c_str(), hostFlags));
    UniqueFd copy(::memfd_create("kelvane-rsrc", MFD_CLOEXEC));
    if (!source || !copy)
        return -1;
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::uint64_t>(length, 1 << 20)));
    for (std::uint64_t done = 0; done < length;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), length - done));
        const ssize_t got = preadFully(source.get(), piece.data(), want, static_cast<off_t>(done));
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        if (pwriteFully(copy.get(), piece.data(), static_cast<std::size_t>(got), static_cast<off_t>(done)) != 0)
            return -1;
        done += static_cast<std::uint64_t>(got);
    }
    return copy.release();
}

UniqueFd openResourceFork(const std::filesystem::path& file, int flags)
{
    const Ref ref = Ref::ofPath(file.c_str(), !(flags & O_NOFOLLOW));
    State state;
    if (inode::readState(ref, state) != 0)
        return UniqueFd();
    if (!state.isRegular()) {
        errno = S_ISDIR(state.raw.stx_mode) ? EISDIR : EPERM;
        return UniqueFd();
    }
    const bool writing = (flags & O_ACCMODE) != O_RDONLY;
    if (writing && dropStaleCompression(ref, state) != 0)
        return UniqueFd();
    const ForkPlace place = forkPlace(ref, state);
    const bool dataIsFork = place == ForkPlace::dataStream || (place == ForkPlace::none && state.dataStreamSize() == 0);
    if (dataIsFork) {
        const int hostFlags = (flags & ~(O_CREAT | O_EXCL | O_TRUNC)) | O_CLOEXEC;
        if (!writing && state.appendedLength > 0)
            return UniqueFd(memoryCopyOfPrefix(file, hostFlags, state.forkLength()));
        if (!writing)
            return UniqueFd(::open(file.c_str(), hostFlags));
        if (refuseAppended(state) != 0)
            return UniqueFd();
        UniqueFd fd;
        const int result = inode::asOwner(ref, [&] {
            fd.reset(::open(file.c_str(), hostFlags));
            if (!fd)
                return -1;
            // "Open" until UF_COMPRESSED records the final length, so the
            // writes and O_TRUNC that follow keep it the fork.
            if (inode::writeForkRecord(Ref::ofFd(fd.get()), inode::kForkLengthOpen) != 0)
                return -1;
            return 0;
        });
        if (result != 0)
            return UniqueFd();
        if ((flags & O_TRUNC) && ::ftruncate(fd.get(), 0) != 0)
            return UniqueFd();
        return fd;
    }
    if (writing) {
        errno = ENOTSUP;  // the fork beside a data fork is an attribute, not a stream
        return UniqueFd();
    }
    std::vector<std::uint8_t> fork;
    if (place == ForkPlace::attribute && inode::rawGetAll(ref, kLinuxForkAttribute, fork) != 0)
        return UniqueFd();
    return UniqueFd(memoryCopy(fork));
}

// Makes a file ready to have its data fork written: a compressed file with
// O_TRUNC becomes an empty ordinary file (without O_TRUNC the write would land
// in the stored fork: EBUSY); a fork held in the data stream moves to its
// attribute first.
int prepareWriteOpen(const std::filesystem::path& path, int flags)
{
    const Ref ref = Ref::ofPath(path.c_str(), !(flags & O_NOFOLLOW));
    State state;
    if (inode::readState(ref, state) != 0 || !state.isRegular())
        return 0;  // the host call reports whatever is wrong
    if (dropStaleCompression(ref, state) != 0)
        return -1;
    if (state.compressed) {
        if (!(flags & O_TRUNC)) {
            errno = EBUSY;
            return -1;
        }
        return inode::asOwner(ref, [&] {
            for (const char* name : {kLinuxDecmpfsAttribute, inode::kForkRecord, kLinuxForkAttribute}) {
                if (inode::rawRemove(ref, name) != 0 && errno != ENODATA)
                    return -1;
            }
            return inode::writeFlagsRecord(ref, state.storedFlags & ~UF_COMPRESSED);
        });
    }
    if (!state.forkInData)
        return 0;
    std::vector<std::uint8_t> fork(static_cast<std::size_t>(state.dataStreamSize()));
    UniqueFd reader = inode::reopen(ref, O_RDONLY);
    if (!reader || preadFully(reader.get(), fork.data(), fork.size(), 0) != static_cast<ssize_t>(fork.size()))
        return -1;
    return inode::asOwner(ref, [&] {
        if (inode::rawSet(ref, kLinuxForkAttribute, fork.data(), fork.size(), 0) != 0)
            return -1;
        UniqueFd writer = inode::reopen(ref, O_WRONLY);
        if (!writer || ::ftruncate(writer.get(), 0) != 0)
            return -1;
        return inode::rawRemove(ref, inode::kForkRecord);
    });
}

}  // namespace

std::filesystem::path resourceForkPath(const std::filesystem::path& path)
{
    return path / std::string(kResourceForkPathSuffix);
}

namespace {

void fillFromStatx(const struct statx& sx, FileStat& out)
{
    out = FileStat{};
    out.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    out.ino = sx.stx_ino;
    out.mode = sx.stx_mode;
    out.nlink = sx.stx_nlink;
    out.uid = sx.stx_uid;
    out.gid = sx.stx_gid;
    out.rdev = makedev(sx.stx_rdev_major, sx.stx_rdev_minor);
    out.size = static_cast<std::int64_t>(sx.stx_size);
    out.blocks = static_cast<std::int64_t>(sx.stx_blocks);
    out.atime = {sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec};
    out.mtime = {sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec};
    out.ctime = {sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec};
    out.birthtime = out.mtime;
    if (sx.stx_mask & STATX_BTIME)
        out.birthtime = {sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec};
}

// lstat of a path or fstat of a descriptor, as the platform reports them
// (the creation date only when asked: one call more where it is recorded).
int statOfOnce(const Ref& ref, FileStat& out, bool withCreationDate, State& state)
{
    if (inode::readStateOnce(ref, state) != 0)
        return -1;
    const struct statx& sx = state.raw;
    fillFromStatx(sx, out);
    out.flags = state.flags;

    out.size = state.dataStreamSize();
    if (state.compressed) {
        out.size = 0;
        std::vector<std::uint8_t> record;
        if (state.names.mayHave(inode::RecordNames::decmpfs) &&
            inode::rawGetAll(ref, kLinuxDecmpfsAttribute, record) == 0) {
            if (const auto header = decmpfs::readHeader(record);
                header && header->size <= INT64_MAX && state.appendedLength <= INT64_MAX - header->size)
                out.size = static_cast<std::int64_t>(header->size + state.appendedLength);
        }
    } else if (state.forkInData) {
        out.size = 0;
    }

    if (withCreationDate && !S_ISLNK(sx.stx_mode) && state.names.mayHave(inode::RecordNames::creation)) {
        std::uint8_t record[16];
        if (inode::rawGet(ref, inode::kCreationRecord, record, sizeof record) == 12) {
            const std::uint32_t nsec = le::load32(record + 8);
            if (nsec < 1000000000u)
                out.birthtime = {static_cast<time_t>(le::load64(record)), static_cast<long>(nsec)};
        }
    }
    return 0;
}

// The status of one file, also when another is renamed over the name while
// it is read (see inode::readState).
int statOf(const Ref& ref, FileStat& out, bool withCreationDate = true)
{
    State state;
    return inode::readWhole(ref, state, [&](State& read) { return statOfOnce(ref, out, withCreationDate, read); });
}

// Runs `call` with the path as the calls below this layer take it (under a
// kelvanefs mount, the same file in the folder below it); -1 with errno set
// when there is none.
template <class Call>
auto belowMounts(const std::filesystem::path& pathGiven, Call&& call)
{
    const auto path = pathForCalls(pathGiven);
    return path ? call(*path) : decltype(call(*path))(-1);
}

}  // namespace

int lstat(const std::filesystem::path& pathGiven, FileStat& out)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return statOf(Ref::ofPath(path.c_str(), false), out);
    });
}

int lstatAt(int directoryFd, std::string_view name, const std::filesystem::path& pathGiven, FileStat& out)
{
    const auto below_path = pathForCalls(pathGiven);
    if (!below_path)
        return -1;
    const std::filesystem::path& path = *below_path;
    if (directoryFd < 0 || name.empty() || name.find('/') != std::string_view::npos)
        return lstat(path, out);
    const std::string entry(name);
    return statOf(Ref::ofEntry(directoryFd, entry.c_str(), path.c_str()), out);
}
int fstat(int fd, FileStat& out, bool withRecords)
{
    if (withRecords)
        return statOf(Ref::ofFd(fd), out);
    struct statx sx {};
    if (inode::rawStatx(Ref::ofFd(fd), sx) != 0)
        return -1;
    fillFromStatx(sx, out);
    return 0;
}

int forkStillRecorded(int fd)
{
    const Ref ref = Ref::ofFd(fd);
    State state;
    if (inode::readState(ref, state) != 0)
        return -1;
    if (!state.compressed || !state.forkInData || !state.forkDigest || *state.forkRecord == inode::kForkLengthOpen)
        return 1;
    Sha256Digest digest;
    if (inode::digestOfDataStream(ref, *state.forkRecord, digest) != 0)
        return -1;
    return digest == *state.forkDigest ? 1 : 0;
}

int dropOverwrittenCompression(int fd)
{
    const int still = forkStillRecorded(fd);
    if (still != 0) {
        if (still > 0)
            errno = EINVAL;
        return -1;
    }
    const Ref ref = Ref::ofFd(fd);
    State state;
    if (inode::readState(ref, state) != 0)
        return -1;
    return inode::asOwner(ref, [&] {
        for (const char* name : {inode::kForkRecord, kLinuxDecmpfsAttribute, kLinuxForkAttribute})
            if (inode::rawRemove(ref, name) != 0 && errno != ENODATA)
                return -1;
        return inode::writeFlagsRecord(ref, state.storedFlags & ~UF_COMPRESSED);
    });
}

std::string pathBelow(int folderFd, std::string_view relative)
{
    std::string path = descriptorPath(folderFd) + "/";
    path.append(relative.empty() ? std::string_view(".") : relative);
    return path;
}

int lstatBelow(int folderFd, const std::string& relative, FileStat& out, bool withRecords)
{
    const std::string name = relative.empty() ? std::string(".") : relative;
    const std::string path = pathBelow(folderFd, relative);
    const Ref ref = Ref::ofEntry(folderFd, name.c_str(), path.c_str());
    if (withRecords)
        return statOf(ref, out, false);
    struct statx sx {};
    if (inode::rawStatx(ref, sx) != 0)
        return -1;
    fillFromStatx(sx, out);
    return 0;
}

UniqueFd open(const std::filesystem::path& pathGiven, int flags, mode_t mode)
{
    const auto below_path = pathForCalls(pathGiven);
    if (!below_path)
        return UniqueFd();
    const std::filesystem::path& path = *below_path;
    if (endsWithForkSuffix(path))
        return openResourceFork(path.parent_path().parent_path(), flags);
    // O_CREAT with O_EXCL never opens what is already there: it must stay
    // untouched for the host call to refuse with EEXIST.
    const bool createsNew = (flags & O_CREAT) && (flags & O_EXCL);
    if (!createsNew && ((flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC)) && prepareWriteOpen(path, flags) != 0)
        return UniqueFd();
    return UniqueFd(::open(path.c_str(), flags | O_CLOEXEC, mode));
}

UniqueFd openUnnamed(const std::filesystem::path& folderGiven, mode_t mode)
{
    const auto below_folder = pathForCalls(folderGiven);
    if (!below_folder)
        return UniqueFd();
    const std::filesystem::path& folder = *below_folder;
    return UniqueFd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
}

int linkUnnamed(int fd, const std::filesystem::path& pathGiven)
{
    const auto below_path = pathForCalls(pathGiven);
    if (!below_path)
        return -1;
    const std::filesystem::path& path = *below_path;
    // Through the descriptor's entry in /proc: linkat with AT_EMPTY_PATH
    // would need a capability that an ordinary user lacks.
    return ::linkat(AT_FDCWD, descriptorPath(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
}

int flock(int fd, int operation) { return ::flock(fd, operation); }

bool openForWritingElsewhere(int fd)
{
    // A read lease is refused while the file is open for writing anywhere.
    // It is given back at once; a writer that opens meanwhile waits for that
    // and makes the kernel signal this process, with SIGIO unless told
    // otherwise, which would end it: SIGURG is ignored unless handled.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0)
        return false;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}
ssize_t write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
off_t lseek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
int fsync(int fd) { return ::fsync(fd); }

int startWriteback(int fd) { return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }

int rename(const std::filesystem::path& fromGiven, const std::filesystem::path& toGiven)
{
    const auto below_from = pathForCalls(fromGiven);
    if (!below_from)
        return -1;
    const std::filesystem::path& from = *below_from;
    const auto below_to = pathForCalls(toGiven);
    if (!below_to)
        return -1;
    const std::filesystem::path& to = *below_to;
    return ::rename(from.c_str(), to.c_str());
}

int unlink(const std::filesystem::path& pathGiven)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return ::unlink(path.c_str());
    });
}
int chown(const std::filesystem::path& pathGiven, uid_t uid, gid_t gid)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return ::chown(path.c_str(), uid, gid);
    });
}
int chmod(const std::filesystem::path& pathGiven, mode_t mode)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return ::chmod(path.c_str(), mode);
    });
}

int utimensat(const std::filesystem::path& pathGiven, const timespec& atime, const timespec& mtime, int flags)
{
    const auto below_path = pathForCalls(pathGiven);
    if (!below_path)
        return -1;
    const std::filesystem::path& path = *below_path;
    const timespec times[2] = {atime, mtime};
    return ::utimensat(AT_FDCWD, path.c_str(), times, flags);
}

namespace {

int changeFlags(const Ref& ref, std::uint32_t flags)
{
    State state;
    if (inode::readState(ref, state) != 0)
        return -1;
    const bool root = ::geteuid() == 0;
    if (!root && (state.raw.stx_uid != ::geteuid() || ((flags ^ state.flags) & SF_SETTABLE))) {
        errno = EPERM;
        return -1;
    }
    if (dropStaleCompression(ref, state) != 0)
        return -1;
    if ((flags & UF_COMPRESSED) && !state.forkInData && state.dataStreamSize() != 0) {
        errno = EINVAL;  // the data fork of a compressed file is empty
        return -1;
    }
    return inode::asOwner(ref, [&] {
        // A fork streamed through ..namedfork/rsrc is complete once the file is
        // marked compressed: record its final length and digest.
        if ((flags & UF_COMPRESSED) && state.forkInData && *state.forkRecord == inode::kForkLengthOpen) {
            const auto length = static_cast<std::uint64_t>(state.dataStreamSize());
            Sha256Digest digest;
            if (inode::digestOfDataStream(ref, length, digest) != 0 || inode::writeForkRecord(ref, length, digest) != 0)
                return -1;
        }
        return inode::writeFlagsRecord(ref, flags);
    });
}

int changeCreationDate(const Ref& ref, const timespec& date)
{
    if (date.tv_nsec < 0 || date.tv_nsec >= 1000000000) {
        errno = EINVAL;
        return -1;
    }
    std::uint8_t record[12];
    le::store64(record, static_cast<std::uint64_t>(date.tv_sec));
    le::store32(record + 8, static_cast<std::uint32_t>(date.tv_nsec));
    return inode::asOwner(ref, [&] { return inode::rawSet(ref, inode::kCreationRecord, record, sizeof record, 0); });
}

}  // namespace

int chflags(const std::filesystem::path& pathGiven, std::uint32_t flags)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return changeFlags(Ref::ofPath(path.c_str(), true), flags);
    });
}

int lchflags(const std::filesystem::path& pathGiven, std::uint32_t flags)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return changeFlags(Ref::ofPath(path.c_str(), false), flags);
    });
}

int setCreationDate(const std::filesystem::path& pathGiven, const timespec& date)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return changeCreationDate(Ref::ofPath(path.c_str(), true), date);
    });
}

int lsetCreationDate(const std::filesystem::path& pathGiven, const timespec& date)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return changeCreationDate(Ref::ofPath(path.c_str(), false), date);
    });
}

int lchown(const std::filesystem::path& pathGiven, uid_t uid, gid_t gid)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return ::lchown(path.c_str(), uid, gid);
    });
}

int lchmod(const std::filesystem::path& pathGiven, mode_t mode)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return ::fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW);
    });
}

ssize_t getxattr(const std::filesystem::path& pathGiven, std::string_view name, void* value, std::size_t size,
                 std::uint32_t position, int options)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return getAttribute(Ref::ofPath(path.c_str(), !(options & XATTR_NOFOLLOW)),
                            name, value, size, position, options);
    });
}

int setxattr(const std::filesystem::path& pathGiven, std::string_view name, const void* value, std::size_t size,
             std::uint32_t position, int options)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return setAttribute(Ref::ofPath(path.c_str(), !(options & XATTR_NOFOLLOW)),
                            name, value, size, position, options);
    });
}

int fsetxattr(int fd, std::string_view name, const void* value, std::size_t size, std::uint32_t position,
              int options)
{
    return setAttribute(Ref::ofFd(fd), name, value, size, position, options & ~XATTR_NOFOLLOW);
}

ssize_t fgetxattr(int fd, std::string_view name, void* value, std::size_t size, std::uint32_t position,
                  int options)
{
    return getAttribute(Ref::ofFd(fd), name, value, size, position, options & ~XATTR_NOFOLLOW);
}

namespace {

ssize_t listAttributes(const Ref& ref, char* buffer, std::size_t size, int options)
{
    if (!optionsValid(options, XATTR_NOFOLLOW | XATTR_SHOWCOMPRESSION)) {
        errno = EINVAL;
        return -1;
    }
    State state;
    if (inode::readState(ref, state) != 0)
        return -1;

    std::vector<char> raw;
    if (inode::rawListAll(ref, raw) != 0)
        return -1;

    const bool hideCompression = hiddenByCompression(state, options);
    std::string names;
    bool forkListed = false;
    for (std::size_t start = 0; start < raw.size();) {
        const std::size_t end = std::find(raw.begin() + static_cast<std::ptrdiff_t>(start), raw.end(), '\0') - raw.begin();
        const std::string_view entry(raw.data() + start, end - start);
        start = end + 1;
        if (entry.substr(0, inode::kUserPrefix.size()) != inode::kUserPrefix ||
            entry.substr(0, inode::kInternalPrefix.size()) == inode::kInternalPrefix)
            continue;
        const std::string_view name = entry.substr(inode::kUserPrefix.size());
        if (isResourceFork(name)) {
            if (state.forkInData || hideCompression)
                continue;  // the data stream's fork wins; listed below
            forkListed = true;
        }
        if (isDecmpfs(name) && (hideCompression || state.staleCompression()))
            continue;
        names.append(name);
        names.push_back('\0');
    }
    if (state.forkInData && !forkListed && !hideCompression) {
        names.append(kResourceForkXattrName);
        names.push_back('\0');
    }
    return inode::copyNameList(names, buffer, size);
}

int removeAttribute(const Ref& ref, std::string_view name, int options)
{
    std::string hostName;
    if (acceptAttributeCall(optionsValid(options, XATTR_NOFOLLOW | XATTR_SHOWCOMPRESSION), name, hostName) != 0)
        return -1;
    if (const auto result =
            compressionNameCall(ref, name, options, [&](State& state) { return removeResourceFork(ref, state); }))
        return static_cast<int>(*result);
    return inode::asOwner(ref, [&] { return inode::rawRemove(ref, hostName.c_str()); });
}

}  // namespace

ssize_t listxattr(const std::filesystem::path& pathGiven, char* buffer, std::size_t size, int options)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return listAttributes(Ref::ofPath(path.c_str(), !(options & XATTR_NOFOLLOW)), buffer, size, options);
    });
}

ssize_t flistxattr(int fd, char* buffer, std::size_t size, int options)
{
    return listAttributes(Ref::ofFd(fd), buffer, size, options & ~XATTR_NOFOLLOW);
}

int removexattr(const std::filesystem::path& pathGiven, std::string_view name, int options)
{
    return belowMounts(pathGiven, [&](const std::filesystem::path& path) {
        return removeAttribute(Ref::ofPath(path.c_str(), !(options & XATTR_NOFOLLOW)), name, options);
    });
}

int fremovexattr(int fd, std::string_view name, int options)
{
    return removeAttribute(Ref::ofFd(fd), name, options & ~XATTR_NOFOLLOW);
}

bool isHidden(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    if (!name.empty() && name.front() == '.')
        return true;
    FileStat st;
    return lstat(path, st) == 0 && (st.flags & UF_HIDDEN);
}

bool isPackageExtension(std::string_view extension)
{
    static constexpr std::array<std::string_view, 24> kPackages = {
        "app",        "appex",     "bundle",   "component", "docset",   "framework",
        "kext",       "key",       "mdimporter", "numbers", "pages",    "photoslibrary",
        "playground", "plugin",    "prefpane", "qlgenerator", "rtfd",   "saver",
        "scptd",      "wdgt",      "xcarchive", "xcodeproj", "xcworkspace", "xpc",
    };
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kPackages.begin(), kPackages.end(), lower) != kPackages.end();
}

bool isPackage(const std::filesystem::path& pathGiven)
{
    const auto below_path = pathForCalls(pathGiven);
    if (!below_path)
        return false;
    const std::filesystem::path& path = *below_path;
    std::string extension = path.extension().string();
    if (extension.size() < 2 || !isPackageExtension(std::string_view(extension).substr(1)))
        return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace kelvane::platform
