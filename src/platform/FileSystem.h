// SPDX-License-Identifier: MIT
#pragma once

// The file-system calls of the platform the system was designed for, over the
// Linux inode (every fact lives on the inode itself, so one `rename` carries a
// file with its flags, attributes, fork and creation date):
//
//   attribute "N"               -> Linux xattr "user.N"
//   flags word                  -> "user.darwin.flags" (4 bytes LE; absent = 0)
//   creation date               -> "user.darwin.crtime" (int64 s + uint32 ns LE);
//                                  absent = statx birth time, else mtime
//   resource fork, empty data   -> the Linux data stream, marked by
//                                  "user.darwin.rsrc" (the fork's length and
//                                  SHA-256; records of earlier versions hold
//                                  the length alone)
//   resource fork, with data    -> "user.com.apple.ResourceFork" (small forks)
//
// Failure pattern, the same for every call here: the call returns what the
// host call would (-1, or an invalid UniqueFd) and leaves the host's errno set,
// so callers turn it into PosixError("lstat", errno), whose text is the
// one form "lstat: errno=<n>".
// Error numbers are the host's (ENOENT, EWOULDBLOCK, ENOTSUP, ENOATTR=ENODATA).
//
// Rules of the stand-in:
// - A file whose data stream no longer has the fork length recorded in
//   "user.darwin.rsrc" (another program wrote to it) is an ordinary file:
//   no UF_COMPRESSED, no fork, its bytes as they are. Except when another
//   program appended to a compressed file: a stream that begins with exactly
//   the recorded fork (its digest matches) and goes on reads as the original
//   followed by the appended bytes (st_size counts both), as the platform
//   would have kept them; its fork cannot be changed in place (EBUSY).
// - "user.darwin.*" is never listed or reachable as an attribute; attribute
//   names that would map onto it fail with EPERM.
// - The owner may set flags, attributes and the fork whatever the mode bits
//   say; SF_* changes need root (EPERM).
// - Contents of a compressed file are read through FileHandle / readWholeFile,
//   which decompress; the raw descriptor of `open` sees the stored bytes.

#include "platform/FileStat.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

#ifndef ENOATTR
#define ENOATTR ENODATA
#endif

namespace kelvane::platform {

// Attribute names the system reads and writes.
inline constexpr std::string_view kDecmpfsXattrName = "com.apple.decmpfs";
inline constexpr std::string_view kResourceForkXattrName = "com.apple.ResourceFork";
// Appended to a file's path to open its resource fork: PATH/..namedfork/rsrc.
inline constexpr std::string_view kResourceForkPathSuffix = "..namedfork/rsrc";

// Options of the attribute calls (the platform's values; distinct from the
// host's XATTR_CREATE/XATTR_REPLACE, which only the stand-in uses).
inline constexpr int XATTR_NOFOLLOW = 0x0001;         // act on a symbolic link itself
inline constexpr int XATTR_CREATE = 0x0002;           // fail with EEXIST if present
inline constexpr int XATTR_REPLACE = 0x0004;          // fail with ENOATTR if absent
inline constexpr int XATTR_SHOWCOMPRESSION = 0x0020;  // show decmpfs and fork of a compressed file

// PATH/..namedfork/rsrc for `path`.
std::filesystem::path resourceForkPath(const std::filesystem::path& path);

// --- status ---------------------------------------------------------------

// Never follows a symbolic link. 0 or -1 (errno).
int lstat(const std::filesystem::path& path, FileStat& out);
// The same facts for an open descriptor; `withRecords` false as for lstatBelow.
int fstat(int fd, FileStat& out, bool withRecords = true);
// Whether the data stream of the compressed file open on `fd` still is the
// fork recorded for it: 1; 0 when another program wrote over the fork in
// place, keeping its length (its SHA-256 no longer matches the record; the
// file is the ordinary file its bytes are, its records stale); -1 (errno).
// Records of earlier versions hold no digest and cannot tell: 1. Reads the
// whole fork: for a file that does not decode.
int forkStillRecorded(int fd);
// Drops the compression records of the file open on `fd`, which
// forkStillRecorded found overwritten: it becomes the ordinary file its
// bytes are. EINVAL for any other file.
int dropOverwrittenCompression(int fd);
// lstat of `path`, which names the entry `name` of the open folder
// `directoryFd`: the same answer, without resolving the folder's path again
// (a walk reading a folder asks this of each entry).
int lstatAt(int directoryFd, std::string_view name, const std::filesystem::path& path, FileStat& out);

// The entry `relative` (a path with any number of components, "" for the
// folder itself) below the open folder `folderFd`, never following a link at
// its end; for a file system that serves a folder from its descriptor.
// `withRecords` false reads only what the host keeps for the inode (size is
// the data stream's length, no flags), which costs one call. The birth time
// is the host's either way (a file system serving the folder has no use for
// the recorded creation date, and one call less per file is worth it).
int lstatBelow(int folderFd, const std::string& relative, FileStat& out, bool withRecords = true);
// "/proc/self/fd/<folderFd>/<relative>": a path that reaches `relative`
// below the open folder whatever is mounted over the folder since.
std::string pathBelow(int folderFd, std::string_view relative);

// --- descriptors ----------------------------------------------------------

// open(2) with the host's O_* flags. PATH/..namedfork/rsrc opens the fork:
// for a file whose data fork is empty that is the Linux file itself (marked as
// holding the fork when opened for writing, so writes, lseek and O_TRUNC act on
// the fork); a fork kept beside a non-empty data fork opens read-only as a
// copy, and for writing fails with ENOTSUP. Opening a compressed file for
// writing without O_TRUNC fails with EBUSY (decompress it first); with O_TRUNC
// it becomes an empty ordinary file. Opening for writing the data fork of a
// file whose fork fills the data stream first moves the fork to its attribute
// (the host's size limit error when it does not fit). Descriptors are O_CLOEXEC.
// O_NOFOLLOW on a fork path refuses a file that is a symbolic link.
UniqueFd open(const std::filesystem::path& path, int flags, mode_t mode = 0);

// An unnamed regular file in `folder` (O_TMPFILE), open for writing with
// `mode`: nothing shows in the folder until linkUnnamed gives it a name.
// EOPNOTSUPP, EISDIR or EINVAL where the file system cannot make one.
UniqueFd openUnnamed(const std::filesystem::path& folder, mode_t mode);
// Gives the unnamed file open on `fd` the name `path`; EEXIST when the name
// is taken (nothing is replaced).
int linkUnnamed(int fd, const std::filesystem::path& path);

int flock(int fd, int operation);
// Whether some open file, in this process or another, holds the file open on
// `fd` (itself opened read-only) for writing. False as well where the file
// system or the file's owner does not let this process tell.
bool openForWritingElsewhere(int fd);
// write(2) as the host does it (short writes and EINTR are the caller's).
ssize_t write(int fd, const void* data, std::size_t size);
off_t lseek(int fd, off_t offset, int whence);
int fsync(int fd);
// Starts writing `fd`'s dirty pages out without waiting for them: started
// for many files before each is flushed, their writes and the journal
// commit that records them are shared instead of paid per file.
int startWriteback(int fd);

// --- names and metadata ---------------------------------------------------

int rename(const std::filesystem::path& from, const std::filesystem::path& to);
int unlink(const std::filesystem::path& path);
int chown(const std::filesystem::path& path, uid_t uid, gid_t gid);  // follows links
int chmod(const std::filesystem::path& path, mode_t mode);           // follows links
// utimensat(AT_FDCWD, path, {atime, mtime}, flags) with the host's flags.
int utimensat(const std::filesystem::path& path, const timespec& atime, const timespec& mtime,
              int flags = 0);

// Writes the flags word (follows links). Clearing or setting SF_* bits needs
// root (EPERM). Setting UF_COMPRESSED records the fork's final length; it fails
// with EINVAL on a file whose data fork is not empty.
int chflags(const std::filesystem::path& path, std::uint32_t flags);

// The creation date, as setattrlist(ATTR_CMN_CRTIME) sets it. Follows links.
int setCreationDate(const std::filesystem::path& path, const timespec& date);

// chown, chmod, chflags and setCreationDate acting on a symbolic link itself,
// never on its target (on Linux a link takes no mode, flags or dates: those
// fail). For paths that someone else may have swapped for a link.
int lchown(const std::filesystem::path& path, uid_t uid, gid_t gid);
int lchmod(const std::filesystem::path& path, mode_t mode);
int lchflags(const std::filesystem::path& path, std::uint32_t flags);
int lsetCreationDate(const std::filesystem::path& path, const timespec& date);

// --- extended attributes --------------------------------------------------
//
// Arguments as the platform takes them. `position` is honoured for
// "com.apple.ResourceFork" (offset into the fork; a read returns at most `size`
// bytes from there) and must be 0 for every other name (EINVAL). A null
// `value` asks for the size. Without XATTR_SHOWCOMPRESSION a compressed file
// hides "com.apple.decmpfs" and "com.apple.ResourceFork" (ENOATTR).

ssize_t getxattr(const std::filesystem::path& path, std::string_view name, void* value,
                 std::size_t size, std::uint32_t position, int options);
// Writing "com.apple.ResourceFork" at position 0 replaces the whole fork; at
// another position it writes into the fork at that offset.
int setxattr(const std::filesystem::path& path, std::string_view name, const void* value,
             std::size_t size, std::uint32_t position, int options);
int fsetxattr(int fd, std::string_view name, const void* value, std::size_t size,
              std::uint32_t position, int options);
// getxattr, listxattr and removexattr of the file open on `fd`, whatever its
// path names by now.
ssize_t fgetxattr(int fd, std::string_view name, void* value, std::size_t size, std::uint32_t position,
                  int options);
// Names, each followed by a zero byte; a null `buffer` asks for the length.
// ERANGE when `size` is too small.
ssize_t listxattr(const std::filesystem::path& path, char* buffer, std::size_t size, int options);
ssize_t flistxattr(int fd, char* buffer, std::size_t size, int options);
int removexattr(const std::filesystem::path& path, std::string_view name, int options);
int fremovexattr(int fd, std::string_view name, int options);

// --- Finder-like checks ---------------------------------------------------

// A name starting with "." or a file carrying UF_HIDDEN.
bool isHidden(const std::filesystem::path& path);
// A directory whose extension (any case) names a package: app, bundle,
// framework, plugin, kext, xcarchive, ...
bool isPackage(const std::filesystem::path& path);
bool isPackageExtension(std::string_view extension);  // without the dot, any case

}  // namespace kelvane::platform
