// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane::platform {

// The largest file a mounted file system takes, in bytes. glibc answers
// pathconf(_PC_FILESIZEBITS) from a short table of its own and gives 32 for
// every type it does not know (tmpfs, overlayfs, FUSE, ...), which would read
// as 2 GB on file systems that hold files of exabytes. So the kernel's own
// limit is looked up by the statfs magic first; a FILESIZEBITS of 32 or less
// is trusted for nothing; anything else is unknown.
//   fsType: the mount table's type name; magic: statfs f_type;
//   blockSize: the fundamental block size (0 when unknown).
std::optional<std::int64_t> maximumFileSize(std::string_view fsType, std::optional<std::uint64_t> magic,
                                            std::optional<long> fileSizeBits, std::int64_t blockSize);

}  // namespace kelvane::platform
