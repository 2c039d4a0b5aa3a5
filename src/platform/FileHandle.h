// SPDX-License-Identifier: MIT
#pragma once

#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <sys/types.h>
#include <vector>

namespace kelvane::platform {

// A file opened for reading through the platform, which hands out the
// decompressed bytes of a compressed file (types 1, 3, 7, 8, 9, 11, 12) as its
// kernel does; any other type, a damaged header or a block that does not decode
// fails the read with EIO. Large compressed files are decoded one 64 KiB block
// at a time, so memory stays bounded whatever the size. Not shared between
// threads; any number of handles may be open at once.
class FileHandle {
public:
    // Opens `path` for reading (follows links); nullopt with errno set.
    static std::optional<FileHandle> openForReading(const std::filesystem::path& path);
    // Opens for reading the very file that `fd` is open on, whatever its path
    // names by now, with a read position of its own; nullopt with errno set.
    static std::optional<FileHandle> reopenForReading(int fd);
    // Reads through `fd` itself, open for reading, which the handle takes
    // over; nullopt with errno set. Sequential reads of a plain file move
    // the position it shares with its duplicates: for a caller that reads
    // by block, this spares the reopening (a path walk through /proc).
    static std::optional<FileHandle> ofDescriptor(UniqueFd fd);

    FileHandle(FileHandle&&) noexcept;
    FileHandle& operator=(FileHandle&&) noexcept;
    ~FileHandle();

    // Reads up to `into.size()` bytes: the count, 0 at the end, -1 (errno).
    ssize_t read(std::span<std::uint8_t> into);
    // Reads up to `count` bytes into `out` (replacing its contents): 0 and an
    // empty `out` at the end, -1 (errno) on failure.
    int read(std::size_t count, std::vector<std::uint8_t>& out);
    // Reads everything that is left; 0 or -1 (errno).
    int readToEnd(std::vector<std::uint8_t>& out);

    // 0 or -1 (errno); further reads fail with EBADF.
    int close();

    // Positional reads, for a file system that serves many readers of one
    // open file at once: these keep no read position and may be called from
    // several threads at a time (never together with read() or close()).
    // The logical size the reads hand out:
    std::uint64_t size() const;
    // Whether the bytes are decoded from the stand-in's records (a cache of
    // decoded blocks pays off) rather than read as they are stored.
    bool decodes() const;
    // Block `index` of decmpfs::blockSize bytes (the last one shorter) into
    // `into`, which holds at least a whole block: the count (0 past the end),
    // or -1 (errno; EIO for data that does not decode).
    ssize_t readBlock(std::uint64_t index, std::span<std::uint8_t> into) const;

    class Source;

private:
    explicit FileHandle(std::unique_ptr<Source> source);
    std::unique_ptr<Source> source_;
};

// The whole (decompressed) contents of `path`; 0 or -1 (errno).
int readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out);
// The same for the file open on `fd` (see FileHandle::reopenForReading).
int readWholeFile(int fd, std::vector<std::uint8_t>& out);

}  // namespace kelvane::platform
