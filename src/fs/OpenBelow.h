// SPDX-License-Identifier: MIT
#pragma once

#include "fs/NodeTable.h"
#include "platform/FileStat.h"
#include "platform/UniqueFd.h"

#include <sys/types.h>

namespace kelvane::fs {

// Whether open(2) with `flags` may change the file's contents: a write mode,
// or O_TRUNC (which truncates even a read-only open).
bool opensForWriting(int flags);

// Opens `relative` below the folder `folderFd` as openat(2) would with
// `flags` and `mode` (never following a link at the end, never becoming a
// controlling terminal), and fills `view` with what the file then is.
//
// A compressed file is never opened for writing: its data stream holds the
// stand-in's stored bytes, not its contents, and a write or a truncation
// there would destroy them. The mount decompresses a file before opening it
// for writing, but Kelvane may compress it again in between; the open then
// fails with EIO and the file stays as it is. O_TRUNC is applied for that
// reason only once the file is known to be plain.
//
// The probe `known` kept for the name, when given and still holding for the
// inode opened, spares reading its records again (one call instead of three
// or more at every open of a file the kernel already knows).
//
// Returns the descriptor, or an empty one with errno set.
platform::UniqueFd openBelow(int folderFd, const char* relative, int flags, mode_t mode, platform::FileStat& view,
                             const NodeTable::Probe* known = nullptr);

// Cuts the plain file at `relative` below `folderFd` to `size`, as
// truncate(2) would; a compressed one fails with EIO, untouched. Returns 0
// or the error.
int truncateBelow(int folderFd, const char* relative, off_t size);

}  // namespace kelvane::fs
