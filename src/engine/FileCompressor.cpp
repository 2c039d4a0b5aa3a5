// SPDX-License-Identifier: MIT
#include "engine/FileCompressor.h"

#include "engine/DecmpfsHeader.h"
#include "engine/DecmpfsInline.h"
#include "engine/DecmpfsResourceFork.h"
#include "engine/FileCompressionError.h"
#include "engine/InPlaceDecompression.h"
#include "engine/PayloadCodec.h"
#include "engine/Preflight.h"
#include "engine/ReplacementSteps.h"
#include "engine/StepObserver.h"
#include "engine/StreamingCompression.h"
#include "engine/TemporaryFile.h"
#include "engine/WorkBuffers.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/KelvanefsMount.h"
#include "platform/PosixError.h"
#include "platform/Sha256.h"

#include <cerrno>
#include <optional>

namespace kelvane::engine {
namespace {

using Error = FileCompressionError;
using Path = std::filesystem::path;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t maxFormatSize = decmpfs::maxLogicalSize;
constexpr std::size_t maxInlineInput = 16384;

struct EncodingPlan {
    CompressionType algorithm = DecmpfsInline::compressionType;
    Bytes decmpfsXattr;
    // The fork, in the thread's fork buffer.
    std::optional<std::span<const std::uint8_t>> resourceFork;
};

// The file's bytes through the locked descriptor (never by path again, see
// openAndLock), read straight into `out` in as few reads as the file allows:
// one, for a plain file of the size the snapshot saw.
// `step` names a failure ("read source: " and the error).
void readWhole(int lockFd, std::int64_t expectedSize, const Path& url, std::string_view step, ByteBuffer& out)
{
    const auto failed = [&] { return Error(Error::ioError{url, platform::PosixError(step, errno).description()}); };
    auto handle = platform::FileHandle::reopenForReading(lockFd);
    if (!handle)
        throw failed();
    // One byte more than expected, so that a file that grew shows at once.
    out.resize(static_cast<std::size_t>(expectedSize) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == out.size())
            out.resize(out.size() * 2);
        const ssize_t n = handle->read(out.span().subspan(got));
        if (n < 0)
            throw failed();
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
}

EncodingPlan makeEncodingPlan(std::span<const std::uint8_t> data, const Path& url, ByteBuffer& forkBuffer)
{
    if (data.size() <= maxInlineInput) {
        const Bytes stream = PayloadCodec::encode(DecmpfsInline::codec, data);
        Bytes attribute = DecmpfsHeader::encode(DecmpfsInline::compressionType, data.size());
        attribute.insert(attribute.end(), stream.begin(), stream.end());
        if (attribute.size() <= DecmpfsInline::maxPayloadBytes) {
            if (stream.size() < data.size())
                return EncodingPlan{DecmpfsInline::compressionType, std::move(attribute), std::nullopt};
            throw Error(Error::compressionDidNotReduceSize{url});
        }
    }
    // Departs from keeping a fork that is not smaller than the file: the file
    // would grow on disk and every read would pay for decoding it.
    DecmpfsResourceFork::encodeInto(data, forkBuffer);
    if (forkBuffer.size() >= data.size())
        throw Error(Error::compressionDidNotReduceSize{url});
    return EncodingPlan{DecmpfsResourceFork::compressionType,
                        DecmpfsHeader::encode(DecmpfsResourceFork::compressionType, data.size()), forkBuffer.span()};
}

// The fork is decoded block by block into one block's buffer, the digest of
// the decoded bytes taken as they come: the same proof without a second copy
// of the file in memory.
void verifyEncodingPlan(std::span<const std::uint8_t> data, const EncodingPlan& plan, const Path& url,
                        ByteBuffer& blockBuffer)
{
    const platform::Sha256Digest expected = platform::Sha256::digest(data);
    platform::Sha256Digest decoded;
    if (plan.resourceFork) {
        blockBuffer.resize(DecmpfsResourceFork::chunkSize);
        platform::Sha256 hasher;
        DecmpfsResourceFork::decodeBlocks(*plan.resourceFork, data.size(), blockBuffer.span(),
                                          [&](std::span<const std::uint8_t> block) { hasher.update(block); });
        decoded = hasher.finish();
    } else {
        decoded = platform::Sha256::digest(DecmpfsInline::decode(plan.decmpfsXattr));
    }
    if (decoded != expected)
        throw Error(Error::roundtripVerificationFailed{url});
}

// Copies the file's readable (decompressed) contents into the temporary
// descriptor in chunks; returns the count. Takes over the descriptor.
std::int64_t decompressStreaming(const Path& url, int sourceFd, platform::UniqueFd fd, const Path& temporaryUrl,
                                 ByteBuffer& buffer)
{
    // Departs from opening the file again by path: that may be a link or a
    // FIFO by now. The locked descriptor's own file is read.
    auto source = platform::FileHandle::reopenForReading(sourceFd);
    if (!source)
        throw Error(Error::ioError{url, "open compressed for streaming"});
    const std::int64_t count = readInChunks(*source, url, "read compressed", [&](std::span<const std::uint8_t> chunk) {
        if (replacement::writeAll(fd.get(), chunk) != 0)
            throw Error(Error::ioError{temporaryUrl, platform::PosixError("write kvtmp", errno).description()});
        notifyStep("write chunk");
    }, buffer);
    if (fd.close() != 0)
        throw Error(Error::ioError{temporaryUrl, platform::PosixError("close kvtmp", errno).description()});
    source->close();
    return count;
}

// Under a kelvanefs mount the records are reached only through the mount's
// socket; without it nothing is touched.
void refuseUnreachableMount(const Path& url)
{
    if (const auto reason = platform::unreachableMountReason(url))
        throw Error(Error::ioError{url, *reason});
}

}  // namespace

CompressionResult FileCompressor::compressFile(const Path& url, std::int64_t threshold) const
{
    refuseUnreachableMount(url);
    finishInPlaceDecompression(url);
    const platform::FileStat snapshot = lstatSnapshot(url);
    TemporaryFile::removeStrayMarker(url);
    if (snapshot.flags & platform::UF_COMPRESSED)
        throw Error(Error::alreadyCompressed{url});
    if (snapshot.size > maxFormatSize)
        throw Error(Error::fileTooLargeForFormat{url, snapshot.size});
    if (platform::getxattr(url, platform::kResourceForkXattrName, nullptr, 0, 0, platform::XATTR_NOFOLLOW) >= 1)
        throw Error(Error::hasResourceFork{url});

    const platform::UniqueFd lock = openAndLock(url, snapshot);
    const WorkBuffers::Lease buffers;
    if (snapshot.size >= threshold)
        return compressStreaming(url, lock.get(), snapshot, *buffers);

    readWhole(lock.get(), snapshot.size, url, "read source", buffers->source);
    const std::span<const std::uint8_t> data = buffers->source.span();
    const EncodingPlan plan = makeEncodingPlan(data, url, buffers->fork);
    verifyEncodingPlan(data, plan, url, buffers->decoded);

    TemporaryFile temporary = TemporaryFile::create(url);
    const Path& temporaryUrl = temporary.path();
    replacement::copyMetadata(snapshot, url, lock.get(), temporaryUrl);
    replacement::setExtendedAttribute(temporaryUrl, platform::kDecmpfsXattrName, plan.decmpfsXattr);
    if (plan.resourceFork)
        replacement::setExtendedAttribute(temporaryUrl, platform::kResourceForkXattrName, *plan.resourceFork);
    replacement::restoreTimesAndMode(snapshot, temporaryUrl);
    replacement::setFileFlags(snapshot.flags | platform::UF_COMPRESSED, temporaryUrl);
    replacement::finalizeReplace(temporary, url, snapshot);

    return CompressionResult{url, snapshot.size, replacement::physicalSizeAfterSwap(url), plan.algorithm};
}

CompressionResult FileCompressor::decompressFile(const Path& url, std::int64_t threshold) const
{
    refuseUnreachableMount(url);
    finishInPlaceDecompression(url);
    const platform::FileStat snapshot = lstatSnapshot(url);
    TemporaryFile::removeStrayMarker(url);
    if ((snapshot.flags & platform::UF_COMPRESSED) == 0)
        throw Error(Error::notCompressed{url});
    const platform::UniqueFd lock = openAndLock(url, snapshot);

    std::optional<TemporaryFile> temporary;
    std::int64_t written = 0;
    if (snapshot.size >= threshold) {
        temporary.emplace(TemporaryFile::create(url));
        const WorkBuffers::Lease buffers;
        written = decompressStreaming(url, lock.get(), temporary->openWriter(), temporary->path(), buffers->source);
        if (written != snapshot.size)
            throw Error(Error::roundtripVerificationFailed{url});
    } else {
        const WorkBuffers::Lease buffers;
        ByteBuffer& data = buffers->source;
        readWhole(lock.get(), snapshot.size, url, "read compressed", data);
        if (static_cast<std::int64_t>(data.size()) != snapshot.size)
            throw Error(Error::roundtripVerificationFailed{url});
        temporary.emplace(TemporaryFile::create(url));
        replacement::writeFully(data.span(), temporary->descriptor(), temporary->path());
        written = static_cast<std::int64_t>(data.size());
        notifyStep("write data");
    }

    const Path& temporaryUrl = temporary->path();
    replacement::copyMetadata(snapshot, url, lock.get(), temporaryUrl);
    replacement::restoreTimesAndMode(snapshot, temporaryUrl);
    replacement::setFileFlags(snapshot.flags & ~platform::UF_COMPRESSED, temporaryUrl);
    replacement::finalizeReplace(*temporary, url, snapshot);

    return CompressionResult{url, snapshot.size, written, std::nullopt};
}

}  // namespace kelvane::engine
