// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <stop_token>

namespace kelvane::fs {

// Removes the temporary files that killed runs of Kelvane, or of this mount
// (a decompression before a write), left in the folder below `folderFd` and
// its subfolders on the same file system. Only files of the temporary form
// that carry the marker of another file count (the engine's rule), and only
// while no operation holds that file: an operation locks the file it works
// on from start to end, so a temporary file being filled stays. Stops early
// when `stop` is requested. Returns how many it removed.
std::size_t sweepLeftovers(int folderFd, std::stop_token stop = {});

}  // namespace kelvane::fs
