// SPDX-License-Identifier: MIT
#pragma once

// Internal to the platform layer: hands out the bytes of a fork-type
// compressed file one 64 KiB block at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <sys/types.h>
#include <vector>

namespace kelvane::platform::inode {
struct State;
}

namespace kelvane::platform::decmpfs {

class DecmpfsForkReader {
public:
    // Reads up to `size` fork bytes at `offset`: the count, or -1 (errno).
    using ReadAt = std::function<ssize_t(void* into, std::size_t size, std::uint64_t offset)>;

    // `appendedLength`: bytes that follow the fork (from `forkLength` on) and
    // are handed out after the decoded ones: what another program appended to
    // the compressed file (inode::State::appendedLength).
    DecmpfsForkReader(std::uint32_t type, std::uint64_t logicalSize, std::uint64_t forkLength, ReadAt readAt,
                      std::uint64_t appendedLength = 0);

    // The reader of a compressed file whose fork begins its data stream
    // (`state.forkInData`), `readAt` reading that stream: fork length and
    // appended bytes as the state found them. Every reader of such a file
    // is made here, so that all of them hand out the same bytes.
    static DecmpfsForkReader ofDataStream(std::uint32_t type, std::uint64_t logicalSize, const inode::State& state,
                                          ReadAt readAt);

    // Checks the offset table before any block is read; false (EIO) when it
    // does not describe blocks inside the fork.
    bool open();

    // Next bytes of the file: the count, 0 at the end, -1 (errno EIO for data
    // that does not decode).
    ssize_t read(std::span<std::uint8_t> into);

    // Positional access once open() succeeded: the number of blocks, the
    // logical length of block `index`, and that block decoded into `out`
    // (at least blockLength(index) bytes). false (errno EIO) when it does not
    // decode. Keeps no state, so several threads may call it at once as long
    // as the ReadAt function allows that (a pread does).
    std::size_t blocks() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    std::size_t blockLength(std::size_t index) const;
    bool readBlock(std::size_t index, std::span<std::uint8_t> out) const;
    // The appended bytes at `offset` (counted from the end of the fork):
    // the count read, or -1 (errno). Stateless like readBlock.
    ssize_t readAppendedAt(std::span<std::uint8_t> into, std::uint64_t offset) const;
    std::uint64_t logicalSize() const { return logicalSize_; }
    std::uint64_t appendedLength() const { return appendedLength_; }

private:
    bool loadBlock(std::size_t index);
    ssize_t readAppended(std::span<std::uint8_t> into);

    std::uint32_t type_;
    std::uint64_t logicalSize_;
    std::uint64_t forkLength_;
    ReadAt readAt_;
    std::uint64_t appendedLength_;
    std::uint64_t appendedPosition_ = 0;
    std::vector<std::uint32_t> offsets_;
    std::vector<std::uint8_t> block_;
    std::size_t nextBlock_ = 0;
    std::size_t blockPosition_ = 0;
    bool failed_ = false;
};

}  // namespace kelvane::platform::decmpfs
