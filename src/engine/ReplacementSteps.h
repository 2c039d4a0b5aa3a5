// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileStat.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::engine {
class TemporaryFile;
}

namespace kelvane::engine::replacement {

// The steps every road uses to give the temporary file the file's metadata and
// to swap it in. Failures that must not stop an operation are logged through
// the "compression" logger; the others throw FileCompressionError. No step
// follows a symbolic link at the temporary name: whatever someone put there
// in place of our file is refused, never its target changed.

// Attributes the roads write themselves and never copy from the file (the
// temporary file's marker among them: a marker left on the file is stray).
bool isNeverCopied(std::string_view attributeName);

void copyOwnership(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl);

// The file's attributes, ACL and data are read through `sourceFd`, the
// descriptor the operation opened, locked and checked, never by a path that
// may name another file by now; `url` names the file in failures.

// Names in list order; names that are not valid UTF-8 are dropped (and logged).
// Throws ioError "listxattr size/read: errno=". Without a descriptor (-1) the
// names are read by path.
std::vector<std::string> listExtendedAttributeNames(const std::filesystem::path& url, int sourceFd = -1);

// Every attribute but the never-copied ones. An attribute that cannot be
// copied fails the operation: ioError naming the step and the attribute
// ("setxattr <name>: errno=" for the temporary file, "getxattr <name>:
// errno=" for the file); one removed meanwhile is skipped and logged.
void copyExtendedAttributes(const std::filesystem::path& url, int sourceFd, const std::filesystem::path& temporaryUrl);

void copyACL(int sourceFd, const std::filesystem::path& temporaryUrl);

// Throws ioError "setxattr <name>: errno=" for `url`.
void setExtendedAttribute(const std::filesystem::path& url, std::string_view name,
                          std::span<const std::uint8_t> value);

void restoreTimes(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl);
void restoreCreationDate(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl);
void restoreMode(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl);

// What every road carries over from the file before it writes its own
// attributes: copyOwnership, copyExtendedAttributes and copyACL, in that order.
void copyMetadata(const platform::FileStat& snapshot, const std::filesystem::path& url, int sourceFd,
                  const std::filesystem::path& temporaryUrl);

// restoreTimes, restoreCreationDate and restoreMode, in that order.
void restoreTimesAndMode(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl);

// Throws only when UF_COMPRESSED is asked for; without it a failure is ignored.
// An unprivileged owner loses the super-user flags rather than the operation.
void setFileFlags(std::uint32_t flags, const std::filesystem::path& temporaryUrl);

// Makes the temporary file durable (data, fork, attributes) on its own.
// Throws ioError "fsync kvtmp: errno=".
void flushReplacement(TemporaryFile& temporary);

// Checks that the file is still the one of the snapshot (device, inode,
// size, modification time) and renames the temporary file over it.
// Throws fileChangedDuringOperation, temporaryFileConflict when the
// temporary name no longer holds our file, or ioError ("rename").
void renameOver(TemporaryFile& temporary, const std::filesystem::path& url, const platform::FileStat& snapshot);

// Makes a folder's entries durable; a failure is logged.
void flushFolder(const std::filesystem::path& folder);

// st_blocks x 512 of the file once it has been replaced. A failure cannot undo
// the swap, so it is logged and 0 returned.
std::int64_t physicalSizeAfterSwap(const std::filesystem::path& url);

// Writes all of `bytes` to `fd`, retrying short writes and EINTR; 0 or -1
// (errno).
int writeAll(int fd, std::span<const std::uint8_t> bytes);

// writeAll that throws ioError "write rsrc fork: errno=" naming `url`.
void writeFully(std::span<const std::uint8_t> bytes, int fd, const std::filesystem::path& url);

}  // namespace kelvane::engine::replacement
