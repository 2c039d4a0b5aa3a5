// SPDX-License-Identifier: MIT
#pragma once

// Helpers that build file trees for the search and counter tests.

#include "engine/DecmpfsHeader.h"
#include "platform/FileFlags.h"
#include "platform/FileStat.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kelvane::test {

// A regular file of `size` bytes (sparse) modified at `mtime` seconds since
// the epoch (0 leaves the time as created).
inline void makeFile(const std::filesystem::path& path, std::uint64_t size = 0, std::time_t mtime = 0,
                     long nanoseconds = 0) {
    std::filesystem::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) throw std::runtime_error("create " + path.string());
    const bool sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    if (!sized) throw std::runtime_error("truncate " + path.string());
    if (mtime != 0) {
        const timespec when{mtime, nanoseconds};
        if (platform::utimensat(path, when, when) != 0) throw std::runtime_error("utimensat " + path.string());
    }
}

inline void addFlags(const std::filesystem::path& path, std::uint32_t flags) {
    platform::FileStat st;
    if (platform::lstat(path, st) != 0 || platform::chflags(path, st.flags | flags) != 0)
        throw std::runtime_error("chflags " + path.string());
}

// A file the platform layer sees as compressed: `logicalSize` raw bytes inline
// in its decmpfs attribute, an empty data stream.
inline void makeCompressedFile(const std::filesystem::path& path, std::uint64_t logicalSize) {
    makeFile(path);
    auto value = engine::DecmpfsHeader::encode(engine::CompressionType::uncompressedAttr, logicalSize);
    value.insert(value.end(), logicalSize, 'x');
    if (platform::setxattr(path, platform::kDecmpfsXattrName, value.data(), value.size(), 0, 0) != 0)
        throw std::runtime_error("setxattr " + path.string());
    addFlags(path, platform::UF_COMPRESSED);
}

}  // namespace kelvane::test
