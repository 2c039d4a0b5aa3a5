// SPDX-License-Identifier: MIT
#include "platform/DecmpfsForkReader.h"

#include "platform/DecmpfsRecord.h"
#include "platform/InodeRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvane::platform::decmpfs {

DecmpfsForkReader::DecmpfsForkReader(std::uint32_t type, std::uint64_t logicalSize, std::uint64_t forkLength,
                                     ReadAt readAt, std::uint64_t appendedLength)
    : type_(type), logicalSize_(logicalSize), forkLength_(forkLength), readAt_(std::move(readAt)),
      appendedLength_(appendedLength)
{
}

DecmpfsForkReader DecmpfsForkReader::ofDataStream(std::uint32_t type, std::uint64_t logicalSize,
                                                 const inode::State& state, ReadAt readAt)
{
    return DecmpfsForkReader(type, logicalSize, state.forkLength(), std::move(readAt), state.appendedLength);
}

bool DecmpfsForkReader::open()
{
    failed_ = true;
    errno = EIO;
    if (!isForkType(type_) || logicalSize_ > maxLogicalSize)
        return false;
    const std::uint64_t blocks = blockCount(logicalSize_);
    const std::uint64_t length = tableLength(logicalSize_);
    if (forkLength_ < length)
        return false;

    std::vector<std::uint8_t> table(static_cast<std::size_t>(length));
    const ssize_t got = readAt_(table.data(), table.size(), 0);
    if (got != static_cast<ssize_t>(table.size())) {
        if (got >= 0)
            errno = EIO;
        return false;
    }
    offsets_.resize(static_cast<std::size_t>(blocks + 1));
    for (std::size_t i = 0; i < offsets_.size(); ++i)
        offsets_[i] = le::load32(table.data() + 4 * i);
    if (offsets_[0] != length)
        return false;
    for (std::size_t i = 1; i < offsets_.size(); ++i) {
        if (checkTableEntry(offsets_[i - 1], offsets_[i], forkLength_) != TableFault::none) {
            errno = EIO;
            return false;
        }
    }
    failed_ = false;
    return true;
}

std::size_t DecmpfsForkReader::blockLength(std::size_t index) const
{
    const std::uint64_t produced = std::uint64_t{index} * blockSize;
    return static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, logicalSize_ - produced));
}

bool DecmpfsForkReader::readBlock(std::size_t index, std::span<std::uint8_t> out) const
{
    if (failed_ || index >= blocks() || out.size() < blockLength(index)) {
        errno = EIO;
        return false;
    }
    const std::uint64_t start = offsets_[index];
    const std::size_t length = offsets_[index + 1] - offsets_[index];
    // One buffer per thread, grown once and never cleared: the read fills
    // what the decode uses. A fresh zeroed one per block cost a clearing and
    // an allocation on every read through the mount.
    static thread_local std::vector<std::uint8_t> compressed;
    if (compressed.size() < length)
        compressed.resize(length);
    const ssize_t got = readAt_(compressed.data(), length, start);
    if (got != static_cast<ssize_t>(length)) {
        if (got >= 0)
            errno = EIO;
        return false;
    }
    if (!decodeBlock(type_, std::span(compressed).first(length), out.first(blockLength(index)))) {
        errno = EIO;
        return false;
    }
    return true;
}

bool DecmpfsForkReader::loadBlock(std::size_t index)
{
    block_.resize(blockLength(index));
    if (!readBlock(index, block_))
        return false;
    blockPosition_ = 0;
    return true;
}

ssize_t DecmpfsForkReader::readAppendedAt(std::span<std::uint8_t> into, std::uint64_t offset) const
{
    if (offset >= appendedLength_ || into.empty())
        return 0;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), appendedLength_ - offset));
    return readAt_(into.data(), want, forkLength_ + offset);
}

ssize_t DecmpfsForkReader::readAppended(std::span<std::uint8_t> into)
{
    const std::uint64_t left = appendedLength_ - appendedPosition_;
    if (left == 0 || into.empty())
        return 0;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), left));
    const ssize_t got = readAt_(into.data(), want, forkLength_ + appendedPosition_);
    if (got > 0)
        appendedPosition_ += static_cast<std::uint64_t>(got);
    return got;
}

ssize_t DecmpfsForkReader::read(std::span<std::uint8_t> into)
{
    if (failed_) {
        errno = EIO;
        return -1;
    }
    std::size_t done = 0;
    while (done < into.size()) {
        if (blockPosition_ == block_.size()) {
            if (nextBlock_ + 1 >= offsets_.size()) {
                // Every block handed out; then the appended bytes as they are.
                const ssize_t got = readAppended(into.subspan(done));
                if (got < 0 && done == 0)
                    return -1;
                if (got > 0)
                    done += static_cast<std::size_t>(got);
                break;
            }
            if (!loadBlock(nextBlock_)) {
                failed_ = true;
                block_.clear();
                blockPosition_ = 0;
                if (done > 0)
                    break;  // hand out what decoded; the next read reports the failure
                return -1;
            }
            ++nextBlock_;
        }
        const std::size_t take = std::min(into.size() - done, block_.size() - blockPosition_);
        std::memcpy(into.data() + done, block_.data() + blockPosition_, take);
        blockPosition_ += take;
        done += take;
    }
    return static_cast<ssize_t>(done);
}

}  // namespace kelvane::platform::decmpfs
