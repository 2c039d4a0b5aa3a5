// SPDX-License-Identifier: MIT
#pragma once

#include "support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace kelvane::test {

// A file system of a fixed size mounted on a fresh folder, for tests that
// need one that runs out of space. Mounting needs root (or the mount
// capability); where it is refused, mounted() is false and reason() says why,
// and the test skips. Unmounted (lazily, so an open descriptor cannot stop
// it) when the object goes away.
class SmallFileSystem {
public:
    enum class Kind {
        tmpfs,
        // ext4 without extents, in a file on a loop device: it has no
        // fallocate, as network and older file systems do not. Needs
        // mkfs.ext4 and a free loop device as well.
        ext4WithoutExtents,
    };

    explicit SmallFileSystem(std::uint64_t bytes, Kind kind = Kind::tmpfs);
    // A tmpfs mounted over `folder`, which must exist (e.g. the application-support folder).
    SmallFileSystem(std::uint64_t bytes, const std::filesystem::path& folder);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    const std::filesystem::path& path() const { return path_; }

    // Writes a filler file until the file system refuses with ENOSPC, then
    // gives back all but `leaveFree` bytes of it (rounded to whole pages).
    // Returns the free bytes left as statvfs tells them to an ordinary user.
    std::uint64_t fill(std::uint64_t leaveFree = 0);
    std::uint64_t freeBytes() const;
    std::filesystem::path fillerPath() const { return path_ / "filler"; }

private:
    void mountTmpfs(std::uint64_t bytes);
    void mountExt4(std::uint64_t bytes);

    TempDir holder_;
    std::filesystem::path path_;
    bool mounted_ = false;
    std::string reason_;
};

}  // namespace kelvane::test
