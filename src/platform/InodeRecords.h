// SPDX-License-Identifier: MIT
#pragma once

// Internal to the platform layer: raw access to the Linux inode records that
// hold the platform's file facts (see FileSystem.h for the mapping).

#include "codec/LittleEndian.h"
#include "platform/Sha256.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace kelvane::platform::inode {

inline constexpr const char* kFlagsRecord = "user.darwin.flags";
inline constexpr const char* kCreationRecord = "user.darwin.crtime";
inline constexpr const char* kForkRecord = "user.darwin.rsrc";
// The platform's own attributes that the layer reads for the status.
inline constexpr const char* kDecmpfsRecord = "user.com.apple.decmpfs";
inline constexpr const char* kForkAttributeRecord = "user.com.apple.ResourceFork";
inline constexpr std::string_view kInternalPrefix = "user.darwin.";
inline constexpr std::string_view kUserPrefix = "user.";

// Fork length recorded while the fork is being streamed through
// ..namedfork/rsrc: the data stream is the fork, whatever its length.
inline constexpr std::uint64_t kForkLengthOpen = ~std::uint64_t{0};

// The fork record: the fork's length (8 bytes LE), then the SHA-256 of the
// fork. Records of earlier versions hold the length alone; they keep the
// length rule and nothing more.
inline constexpr std::size_t kForkRecordLengthOnly = 8;
inline constexpr std::size_t kForkRecordWithDigest = 8 + 32;


// Where a raw call goes: a path (following links or not) or a descriptor.
// A path may also name an entry of an open folder (`directoryFd`, `name`):
// statx, reading and listing attributes then look the name up there instead
// of resolving the whole path (one lookup in place of a walk from the top);
// every other call still goes by the path.
struct Ref {
    const char* path = nullptr;
    int fd = -1;
    bool follow = true;
    int directoryFd = -1;
    const char* name = nullptr;

    static Ref ofPath(const char* p, bool followLinks) { return {p, -1, followLinks}; }
    static Ref ofFd(int d) { return {nullptr, d, true}; }
    static Ref ofEntry(int directory, const char* entryName, const char* p) { return {p, -1, false, directory, entryName}; }
};

ssize_t rawGet(const Ref& ref, const char* name, void* value, std::size_t size);
int rawSet(const Ref& ref, const char* name, const void* value, std::size_t size, int hostFlags);
int rawRemove(const Ref& ref, const char* name);
ssize_t rawList(const Ref& ref, char* buffer, std::size_t size);
// Every raw attribute name of the inode into `names` (NUL-separated); asks
// again while attributes appear between the size query and the read.
// 0, or -1 (errno).
int rawListAll(const Ref& ref, std::vector<char>& names);
// Hands the names we show (NUL-separated) to a caller of a list call: their
// length alone when `buffer` is null, ERANGE when they do not fit.
ssize_t copyNameList(const std::string& names, char* buffer, std::size_t size);
int rawStatx(const Ref& ref, struct statx& out);
int rawChmod(const Ref& ref, mode_t mode);
// A second descriptor on the same inode, for writing its data stream.
UniqueFd reopen(const Ref& ref, int flags);
// The entry the path or folder entry `ref` names, held as an O_PATH
// descriptor (the link itself where `ref` does not follow links): its inode
// stays the one named now.
UniqueFd holdEntry(const Ref& ref);

// Whole value of a raw attribute (at most the host's 64 KiB); 0 or -1 (errno,
// ENODATA when absent).
int rawGetAll(const Ref& ref, const char* name, std::vector<std::uint8_t>& out);

// pread(2) until `size` bytes, the end of the file or an error (EINTR is
// retried): the count read, or -1 (errno).
ssize_t preadFully(int fd, void* buffer, std::size_t size, off_t offset);
// pwrite(2) of all `size` bytes (EINTR is retried): 0, or -1 (errno; EIO
// when a write takes nothing).
int pwriteFully(int fd, const void* data, std::size_t size, off_t offset);

// Runs `op` (returning int, -1 with errno on failure). When it is refused for
// lack of write permission and the caller owns the file, grants the owner
// write permission for the call and restores the mode afterwards.
template <class Op>
int asOwner(const Ref& ref, Op op);
bool grantOwnerWrite(const Ref& ref, mode_t& previousMode);
void restoreMode(const Ref& ref, mode_t previousMode);

// Which Linux attributes an inode carries, as far as the layer cares. Read
// with one listxattr so that a file without records costs no further call.
struct RecordNames {
    enum Name : unsigned {
        flags = 1u << 0,
        fork = 1u << 1,
        creation = 1u << 2,
        decmpfs = 1u << 3,
        forkAttribute = 1u << 4,
    };
    bool listed = false;  // false: the list was not read (too long, or refused)
    unsigned present = 0;

    // True unless the list was read and lacks the name: only then may a
    // read of it be skipped.
    bool mayHave(Name name) const { return !listed || (present & name); }
};

// The platform view of one inode.
struct State {
    struct statx raw {};
    RecordNames names;
    std::uint32_t storedFlags = 0;
    std::optional<std::uint64_t> forkRecord;  // recorded fork length
    std::optional<Sha256Digest> forkDigest;   // recorded digest of the fork
    bool forkInData = false;      // the data stream begins with the fork; data fork empty
    // Bytes another program appended after the fork of a compressed file: the
    // stream begins with exactly the recorded fork (its digest matches) and
    // goes on. They read after the decoded bytes, as the platform would have
    // kept them.
    std::uint64_t appendedLength = 0;
    bool staleForkRecord = false; // a fork was recorded but the stream changed since
    bool compressed = false;      // UF_COMPRESSED as every reader sees it
    std::uint32_t flags = 0;      // the flags word as every reader sees it

    std::int64_t dataStreamSize() const { return static_cast<std::int64_t>(raw.stx_size); }
    // Bytes at the start of the data stream that are the fork (0 without one).
    std::uint64_t forkLength() const { return forkInData ? raw.stx_size - appendedLength : 0; }
    bool isRegular() const { return S_ISREG(raw.stx_mode); }
    // Compression records left behind after another program wrote the file.
    bool staleCompression() const;
};

// The state of the inode `ref` names: statx plus the records (none for a
// symbolic link: Linux keeps no user attributes on links). By path or by
// name, every call below looks the name up again, and Kelvane (or another
// program) may rename a new file over it meanwhile: the size of one file
// read with the records of the other made a compressed file's status show
// its fork's length, or a plain file's the length of a fork plus "appended"
// bytes. So a state read by name counts only when the name still leads to
// the same inode, unchanged, after it; it is read again otherwise (see
// readWhole).
int readState(const Ref& ref, State& out);
// One pass of readState, without the check: for a caller that reads more
// records after it (see readWhole).
int readStateOnce(const Ref& ref, State& out);
// Whether `ref` still names the inode `seen` was read from, unchanged (same
// inode, same change time: setting a record changes it) but for data
// written to it since. Always true for a descriptor.
//
// A write sets the modification and the change time to one same moment;
// setting a record, a link or a rename moves the change time alone. So an
// inode whose two times are equal and later than `seen` was last changed by
// a write, and a swap of the name away and back (which links or renames)
// still shows. Another program that writes to a file without pause moves
// its change time between any two calls: every status of a file appended to
// a byte at a time failed when the change time alone was compared. What
// this lets pass is a record set in place and then data written, both
// inside one pass: only the fork written into a file's own data stream does
// that, on Kelvane's temporary files.
bool stillNames(const Ref& ref, const struct statx& seen);

// Runs `readOnce(state)` (0 or -1, beginning with readStateOnce) until `ref`
// still names the inode it read, at most 16 times; then -1 with EAGAIN.
template <class ReadOnce>
int readWhole(const Ref& ref, State& state, ReadOnce readOnce)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (readOnce(state) != 0)
            return -1;
        if (stillNames(ref, state.raw))
            return 0;
    }
    errno = EAGAIN;
    return -1;
}

// Forgets compression records that no longer describe the data stream: the
// fork record, the compressed flag and the decmpfs attribute.
int dropStaleRecords(const Ref& ref, const State& state);

int writeFlagsRecord(const Ref& ref, std::uint32_t flags);
// Without a digest the record is the length alone (the fork still open).
int writeForkRecord(const Ref& ref, std::uint64_t length, const std::optional<Sha256Digest>& digest = std::nullopt);

// SHA-256 of the first `length` bytes of the data stream; 0, or -1 (errno;
// EIO when the stream is shorter).
int digestOfDataStream(const Ref& ref, std::uint64_t length, Sha256Digest& out);


template <class Op>
int asOwner(const Ref& ref, Op op)
{
    const int result = op();
    if (result >= 0 || (errno != EACCES && errno != EPERM))
        return result;
    const int refused = errno;
    mode_t previous = 0;
    if (!grantOwnerWrite(ref, previous)) {
        errno = refused;
        return result;
    }
    const int retried = op();
    const int saved = errno;
    restoreMode(ref, previous);
    errno = saved;
    return retried;
}

}  // namespace kelvane::platform::inode
