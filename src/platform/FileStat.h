// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <ctime>
#include <sys/types.h>

namespace kelvane::platform {

// What `lstat` reports, with the platform's extra fields filled in by the
// stand-in: `flags` (BSD flags word), `birthtime` (creation date), and for a
// compressed file the logical `size` (what every reader sees) while `blocks`
// stays the space the compressed data occupies.
struct FileStat {
    dev_t dev = 0;
    ino_t ino = 0;
    mode_t mode = 0;        // type and permission bits, as st_mode
    nlink_t nlink = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    dev_t rdev = 0;           // the device a device node stands for
    std::int64_t size = 0;    // logical size in bytes
    std::int64_t blocks = 0;  // 512-byte blocks allocated
    std::uint32_t flags = 0;  // UF_* / SF_* (FileFlags.h)
    timespec atime{};
    timespec mtime{};
    timespec ctime{};
    timespec birthtime{};
};

}  // namespace kelvane::platform
