// SPDX-License-Identifier: MIT
#include "platform/FileHandle.h"

#include "platform/DecmpfsForkReader.h"
#include "platform/DecmpfsFormat.h"
#include "platform/DecmpfsRecord.h"
#include "platform/InodeRecords.h"
#include "platform/KelvanefsMount.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kelvane::platform {

class FileHandle::Source {
public:
    virtual ~Source() = default;
    virtual ssize_t read(std::span<std::uint8_t> into) = 0;
    virtual int close() { return 0; }
    // Bytes the whole file is expected to hold, for reserving.
    virtual std::uint64_t sizeHint() const { return 0; }
    virtual bool decodes() const { return true; }
    // Positional block read (see FileHandle::readBlock).
    virtual ssize_t readBlock(std::uint64_t, std::span<std::uint8_t>) const
    {
        errno = EIO;
        return -1;
    }
};

namespace {

using inode::Ref;

constexpr const char* kLinuxDecmpfsAttribute = "user.com.apple.decmpfs";
constexpr const char* kLinuxForkAttribute = "user.com.apple.ResourceFork";
constexpr std::size_t kReadToEndChunk = 1 << 20;
constexpr std::uint64_t kMaxReserve = 256u << 20;

class DescriptorSource final : public FileHandle::Source {
public:
    DescriptorSource(UniqueFd fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}
    ssize_t read(std::span<std::uint8_t> into) override
    {
        for (;;) {
            const ssize_t got = ::read(fd_.get(), into.data(), into.size());
            if (got >= 0 || errno != EINTR)
                return got;
        }
    }
    int close() override { return fd_.close(); }
    std::uint64_t sizeHint() const override { return size_; }
    bool decodes() const override { return false; }
    ssize_t readBlock(std::uint64_t index, std::span<std::uint8_t> into) const override
    {
        const std::size_t want = std::min<std::size_t>(into.size(), decmpfs::blockSize);
        return inode::preadFully(fd_.get(), into.data(), want, static_cast<off_t>(index * decmpfs::blockSize));
    }

private:
    UniqueFd fd_;
    std::uint64_t size_;
};

class MemorySource final : public FileHandle::Source {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    ssize_t read(std::span<std::uint8_t> into) override
    {
        const std::size_t take = std::min(into.size(), bytes_.size() - position_);
        if (take)
            std::memcpy(into.data(), bytes_.data() + position_, take);
        position_ += take;
        return static_cast<ssize_t>(take);
    }
    std::uint64_t sizeHint() const override { return bytes_.size(); }
    ssize_t readBlock(std::uint64_t index, std::span<std::uint8_t> into) const override
    {
        const std::uint64_t start = index * decmpfs::blockSize;
        if (start >= bytes_.size())
            return 0;
        const std::size_t take = static_cast<std::size_t>(
            std::min<std::uint64_t>({into.size(), decmpfs::blockSize, bytes_.size() - start}));
        std::memcpy(into.data(), bytes_.data() + start, take);
        return static_cast<ssize_t>(take);
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// A compressed file whose data cannot be had: every read fails the same way.
class FailedSource final : public FileHandle::Source {
public:
    explicit FailedSource(int error) : error_(error) {}
    ssize_t read(std::span<std::uint8_t>) override
    {
        errno = error_;
        return -1;
    }

private:
    int error_;
};

class ForkSource final : public FileHandle::Source {
public:
    // The fork begins the data stream of `fd`; appended bytes may follow it.
    ForkSource(UniqueFd fd, std::uint32_t type, std::uint64_t size, const inode::State& state)
        : fd_(std::move(fd)), size_(size + state.appendedLength),
          reader_(decmpfs::DecmpfsForkReader::ofDataStream(
              type, size, state, [this](void* into, std::size_t length, std::uint64_t offset) {
                  return inode::preadFully(fd_.get(), into, length, static_cast<off_t>(offset));
              }))
    {
    }
    // The fork is held in memory (it came from an attribute).
    ForkSource(std::vector<std::uint8_t> fork, std::uint32_t type, std::uint64_t size)
        : fork_(std::move(fork)), size_(size),
          reader_(type, size, fork_.size(), [this](void* into, std::size_t length, std::uint64_t offset) {
              if (offset > fork_.size())
                  return ssize_t{0};
              const std::size_t take = std::min<std::size_t>(length, fork_.size() - offset);
              if (take)
                  std::memcpy(into, fork_.data() + offset, take);
              return static_cast<ssize_t>(take);
          })
    {
    }

    bool open() { return reader_.open(); }
    ssize_t read(std::span<std::uint8_t> into) override { return reader_.read(into); }
    // The file as read is cut into 64 KiB blocks: the decoded ones, then what
    // another program appended, so the block that holds the end of the
    // decoded bytes may go on with the first appended ones.
    ssize_t readBlock(std::uint64_t index, std::span<std::uint8_t> into) const override
    {
        const std::uint64_t start = index * decmpfs::blockSize;
        if (start >= size_)
            return 0;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size_ - start, decmpfs::blockSize));
        if (into.size() < want) {
            errno = EINVAL;
            return -1;
        }
        std::size_t done = 0;
        if (index < reader_.blocks()) {
            if (!reader_.readBlock(static_cast<std::size_t>(index), into))
                return -1;
            done = reader_.blockLength(static_cast<std::size_t>(index));
        }
        while (done < want) {
            const ssize_t got = reader_.readAppendedAt(into.subspan(done, want - done),
                                                       start + done - reader_.logicalSize());
            if (got <= 0) {
                if (got == 0)
                    errno = EIO;  // the appended bytes went away under us
                return -1;
            }
            done += static_cast<std::size_t>(got);
        }
        return static_cast<ssize_t>(done);
    }
    int close() override { return fd_ ? fd_.close() : 0; }
    std::uint64_t sizeHint() const override { return size_; }

private:
    UniqueFd fd_;
    std::vector<std::uint8_t> fork_;
    std::uint64_t size_;
    decmpfs::DecmpfsForkReader reader_;
};

std::unique_ptr<FileHandle::Source> compressedSource(UniqueFd fd, const inode::State& state)
{
    const Ref ref = Ref::ofFd(fd.get());
    std::vector<std::uint8_t> record;
    if (inode::rawGetAll(ref, kLinuxDecmpfsAttribute, record) != 0)
        return std::make_unique<FailedSource>(EIO);
    const auto header = decmpfs::readHeader(record);
    if (!header)
        return std::make_unique<FailedSource>(EIO);

    if (decmpfs::isInlineType(header->type)) {
        std::vector<std::uint8_t> bytes;
        if (!decmpfs::decodeInline(*header, std::span(record).subspan(decmpfs::headerSize), bytes))
            return std::make_unique<FailedSource>(EIO);
        return std::make_unique<MemorySource>(std::move(bytes));
    }
    if (!decmpfs::isForkType(header->type))
        return std::make_unique<FailedSource>(EIO);

    std::unique_ptr<ForkSource> source;
    if (state.forkInData) {
        source = std::make_unique<ForkSource>(std::move(fd), header->type, header->size, state);
    } else {
        std::vector<std::uint8_t> fork;
        if (inode::rawGetAll(ref, kLinuxForkAttribute, fork) != 0)
            return std::make_unique<FailedSource>(EIO);
        source = std::make_unique<ForkSource>(std::move(fork), header->type, header->size);
    }
    if (!source->open())
        return std::make_unique<FailedSource>(errno);
    return source;
}

}  // namespace

FileHandle::FileHandle(std::unique_ptr<Source> source) : source_(std::move(source)) {}
FileHandle::FileHandle(FileHandle&&) noexcept = default;
FileHandle& FileHandle::operator=(FileHandle&&) noexcept = default;
FileHandle::~FileHandle() = default;

std::optional<FileHandle> FileHandle::openForReading(const std::filesystem::path& path)
{
    const auto below = pathForCalls(path);
    if (!below)
        return std::nullopt;
    return ofDescriptor(UniqueFd(::open(below->c_str(), O_RDONLY | O_CLOEXEC)));
}

std::optional<FileHandle> FileHandle::reopenForReading(int fd)
{
    return ofDescriptor(inode::reopen(Ref::ofFd(fd), O_RDONLY));
}

std::optional<FileHandle> FileHandle::ofDescriptor(UniqueFd fd)
{
    if (!fd)
        return std::nullopt;
    inode::State state;
    if (inode::readState(Ref::ofFd(fd.get()), state) != 0)
        return std::nullopt;
    if (state.compressed)
        return FileHandle(compressedSource(std::move(fd), state));
    if (state.forkInData)  // the stream is the fork; the data fork is empty
        return FileHandle(std::make_unique<MemorySource>(std::vector<std::uint8_t>{}));
    const auto size = static_cast<std::uint64_t>(state.dataStreamSize());
    return FileHandle(std::make_unique<DescriptorSource>(std::move(fd), size));
}

ssize_t FileHandle::read(std::span<std::uint8_t> into)
{
    if (!source_) {
        errno = EBADF;
        return -1;
    }
    return source_->read(into);
}

int FileHandle::read(std::size_t count, std::vector<std::uint8_t>& out)
{
    out.resize(count);
    const ssize_t got = read(std::span(out));
    if (got < 0) {
        out.clear();
        return -1;
    }
    out.resize(static_cast<std::size_t>(got));
    return 0;
}

int FileHandle::readToEnd(std::vector<std::uint8_t>& out)
{
    out.clear();
    if (source_)
        out.reserve(static_cast<std::size_t>(std::min(source_->sizeHint(), kMaxReserve)));
    std::uint8_t probe[65536];
    for (;;) {
        const std::size_t before = out.size();
        if (before == out.capacity()) {
            // Full as expected: a small read tells whether more follows.
            const ssize_t got = read(std::span(probe));
            if (got <= 0)
                return got < 0 ? -1 : 0;
            out.insert(out.end(), probe, probe + got);
            continue;
        }
        out.resize(std::max(out.capacity(), before + kReadToEndChunk));
        const ssize_t got = read(std::span(out).subspan(before));
        if (got < 0) {
            out.resize(before);
            return -1;
        }
        out.resize(before + static_cast<std::size_t>(got));
        if (got == 0)
            return 0;
    }
}

std::uint64_t FileHandle::size() const { return source_ ? source_->sizeHint() : 0; }

bool FileHandle::decodes() const { return source_ && source_->decodes(); }

ssize_t FileHandle::readBlock(std::uint64_t index, std::span<std::uint8_t> into) const
{
    if (!source_) {
        errno = EBADF;
        return -1;
    }
    return source_->readBlock(index, into);
}

int FileHandle::close()
{
    if (!source_) {
        errno = EBADF;
        return -1;
    }
    const int result = source_->close();
    source_.reset();
    return result;
}

namespace {

int readToEnd(std::optional<FileHandle> handle, std::vector<std::uint8_t>& out)
{
    if (!handle)
        return -1;
    return handle->readToEnd(out);
}

}  // namespace

int readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out)
{
    return readToEnd(FileHandle::openForReading(path), out);
}

int readWholeFile(int fd, std::vector<std::uint8_t>& out)
{
    return readToEnd(FileHandle::reopenForReading(fd), out);
}

}  // namespace kelvane::platform
