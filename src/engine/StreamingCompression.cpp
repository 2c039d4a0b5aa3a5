// SPDX-License-Identifier: MIT
#include "engine/StreamingCompression.h"

#include "engine/DecmpfsHeader.h"
#include "engine/DecmpfsResourceFork.h"
#include "engine/FileCompressionError.h"
#include "engine/PayloadCodec.h"
#include "codec/LittleEndian.h"
#include "engine/ReplacementSteps.h"
#include "engine/StepObserver.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/PosixError.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <fcntl.h>

namespace kelvane::engine {
namespace {

using Error = FileCompressionError;
using Path = std::filesystem::path;

// Fills `out` with exactly `count` bytes from `handle`.
void readExactly(platform::FileHandle& handle, std::size_t count, const Path& url, ByteBuffer& out)
{
    out.resize(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = handle.read(out.span().subspan(got));
        if (n < 0)
            throw Error(Error::ioError{url, platform::PosixError("read source", errno).description()});
        if (n == 0)
            throw Error(Error::ioError{url, "unexpected EOF (got " + std::to_string(got) + ", expected " +
                                                std::to_string(count) + ")"});
        got += static_cast<std::size_t>(n);
    }
}

}  // namespace

// Each block is read, encoded and proven in the thread's buffers: no
// allocation per block, and no buffer is zero-filled before it is written.
// (Reads stay one block each, so that a source that ends early is caught at
// the block it ends in; a 64 KiB read from the page cache is small beside
// encoding the block.)
platform::Sha256Digest writeResourceForkStreaming(const Path& url, int sourceFd, const Path& temporaryUrl,
                                                  std::int64_t size, WorkBuffers& buffers)
{
    // Departs from opening the file again by path: that may be a link or a
    // FIFO by now. The locked descriptor's own file is read.
    auto source = platform::FileHandle::reopenForReading(sourceFd);
    if (!source)
        throw Error(Error::ioError{url, "open source for streaming"});
    const platform::UniqueFd fork =
        platform::open(platform::resourceForkPath(temporaryUrl), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
    if (!fork)
        throw Error(Error::ioError{temporaryUrl, platform::PosixError("open rsrc fork", errno).description()});

    const auto total = static_cast<std::uint64_t>(size);
    const std::uint64_t blocks = DecmpfsResourceFork::blockCount(total);
    const auto tableLength = static_cast<std::uint32_t>(DecmpfsResourceFork::tableLength(total));
    replacement::writeFully(std::vector<std::uint8_t>(tableLength, 0), fork.get(), temporaryUrl);

    std::vector<std::uint32_t> offsets{tableLength};
    offsets.reserve(blocks + 1);
    platform::Sha256 hasher;
    ByteBuffer& chunk = buffers.source;
    ByteBuffer& block = buffers.fork;
    ByteBuffer& decoded = buffers.decoded;
    block.resize(DecmpfsResourceFork::codec.encodeBound(DecmpfsResourceFork::chunkSize));
    decoded.resize(DecmpfsResourceFork::chunkSize);
    for (std::uint64_t i = 0; i < blocks; ++i) {
        const auto want = static_cast<std::size_t>(
            std::min(total - i * DecmpfsResourceFork::chunkSize, DecmpfsResourceFork::chunkSize));
        readExactly(*source, want, url, chunk);
        const std::span<const std::uint8_t> data = chunk.span();
        hasher.update(data);
        // Departs from keeping a fork that is not smaller than the file (see
        // the in-memory road): a block longer than what is left of the file's
        // size settles it, and nothing more is encoded, proven or written; the
        // temporary file goes, the file was never touched.
        const std::uint64_t used = offsets.back();
        const std::optional<std::size_t> length = PayloadCodec::encodeWithin(
            DecmpfsResourceFork::codec, data, block.span(), used < total ? static_cast<std::size_t>(total - 1 - used) : 0);
        if (!length)
            throw Error(Error::compressionDidNotReduceSize{url});
        const std::span<const std::uint8_t> encoded = block.span().first(*length);
        const std::span<std::uint8_t> check = decoded.span().first(want);
        PayloadCodec::decodeInto(DecmpfsResourceFork::codec, encoded, check);
        if (!std::equal(check.begin(), check.end(), data.begin()))
            throw Error(Error::roundtripVerificationFailed{url});
        replacement::writeFully(encoded, fork.get(), temporaryUrl);
        offsets.push_back(offsets.back() + static_cast<std::uint32_t>(encoded.size()));
        notifyStep("write block");
    }

    std::vector<std::uint8_t> table;
    table.reserve(tableLength);
    for (std::uint32_t offset : offsets)
        le::append32(table, offset);
    if (platform::lseek(fork.get(), 0, SEEK_SET) != 0)
        throw Error(Error::ioError{temporaryUrl, platform::PosixError("lseek rsrc fork", errno).description()});
    replacement::writeFully(table, fork.get(), temporaryUrl);
    source->close();
    notifyStep("write table");
    return hasher.finish();
}

void verifyReadback(const TemporaryFile& temporary, const platform::Sha256Digest& expectedDigest,
                    std::int64_t expectedSize, const Path& url, ByteBuffer& buffer)
{
    // The temporary file we made, not whatever its name may hold by now.
    const Path& temporaryUrl = temporary.path();
    auto handle = platform::FileHandle::reopenForReading(temporary.descriptor());
    if (!handle)
        throw Error(Error::ioError{temporaryUrl, "open for readback verification"});
    platform::Sha256 hasher;
    const std::int64_t count = readInChunks(
        *handle, temporaryUrl, "readback", [&](std::span<const std::uint8_t> chunk) { hasher.update(chunk); }, buffer);
    handle->close();
    if (count != expectedSize || hasher.finish() != expectedDigest)
        throw Error(Error::roundtripVerificationFailed{url});
    notifyStep("read back");
}

std::int64_t readInChunks(platform::FileHandle& handle, const Path& url, std::string_view failedRead,
                          const std::function<void(std::span<const std::uint8_t>)>& onChunk, ByteBuffer& buffer)
{
    std::int64_t count = 0;
    buffer.resize(streamingChunkSize);
    for (;;) {
        const ssize_t n = handle.read(buffer.span());
        if (n < 0)
            throw Error(Error::ioError{url, platform::PosixError(failedRead, errno).description()});
        if (n == 0)
            break;
        onChunk(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
        count += n;
    }
    return count;
}

}  // namespace kelvane::engine
