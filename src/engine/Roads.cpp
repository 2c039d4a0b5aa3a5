// SPDX-License-Identifier: MIT
// The four roads of the swap, chosen from one table.

#include "engine/DecmpfsHeader.h"
#include "engine/DecmpfsInline.h"
#include "engine/DecmpfsResourceFork.h"
#include "engine/FileCompressionError.h"
#include "engine/PayloadCodec.h"
#include "engine/ReplacementSteps.h"
#include "engine/Road.h"
#include "engine/StepObserver.h"
#include "engine/StreamingCompression.h"
#include "engine/TemporaryFile.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/PosixError.h"

#include <cerrno>

namespace kelvane::engine {
namespace {

using Error = FileCompressionError;
using Path = std::filesystem::path;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t maxInlineInput = 16384;

// The file's bytes through the locked descriptor (never by path again, see
// Eligibility::lock), read straight into `out` in as few reads as the file
// allows: one, for a plain file of the size the snapshot saw.
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

// Small files go inline in the attribute when they fit there; the rest get a
// fork. Either way the result must be smaller than the file: a fork that is
// not would make the file grow on disk and every read pay for decoding it.
//
// A file small enough to go inline is one block, whose stream is the same
// inline and in a fork: it is encoded once, into the fork, and the encoder
// stops as soon as its output is too long for either layout.
void encodeInMemory(RoadWork& work, std::span<const std::uint8_t> data)
{
    static_assert(&DecmpfsInline::codec == &DecmpfsResourceFork::codec, "one stream serves both layouts");
    const std::size_t size = data.size();
    if (size == 0)
        throw Error(Error::compressionDidNotReduceSize{work.url});
    constexpr std::size_t headerSize = DecmpfsHeader::byteCount;
    constexpr std::size_t inlineStreamRoom = DecmpfsInline::maxPayloadBytes - headerSize;
    const bool mayGoInline = size <= maxInlineInput;
    const std::size_t forkBudget = size - 1;
    const std::size_t table = DecmpfsResourceFork::tableLength(size);
    const std::size_t budget =
        mayGoInline ? std::max(forkBudget, table + std::min(inlineStreamRoom, size - 1)) : forkBudget;
    ByteBuffer& fork = work.buffers.fork;
    if (!DecmpfsResourceFork::encodeWithin(data, fork, budget))
        throw Error(Error::compressionDidNotReduceSize{work.url});
    const std::span<const std::uint8_t> stream = fork.span().subspan(table);
    if (mayGoInline && headerSize + stream.size() <= DecmpfsInline::maxPayloadBytes) {
        if (stream.size() >= size)
            throw Error(Error::compressionDidNotReduceSize{work.url});
        work.algorithm = DecmpfsInline::compressionType;
        work.decmpfsXattr = DecmpfsHeader::encode(DecmpfsInline::compressionType, size);
        work.decmpfsXattr.insert(work.decmpfsXattr.end(), stream.begin(), stream.end());
        return;
    }
    if (fork.size() >= size)
        throw Error(Error::compressionDidNotReduceSize{work.url});
    work.algorithm = DecmpfsResourceFork::compressionType;
    work.decmpfsXattr = DecmpfsHeader::encode(DecmpfsResourceFork::compressionType, size);
    work.resourceFork = fork.span();
}

// The fork is decoded block by block into one block's buffer, the digest of
// the decoded bytes taken as they come: the same proof without a second copy
// of the file in memory.
void proveInMemory(const RoadWork& work, std::span<const std::uint8_t> data)
{
    const platform::Sha256Digest expected = platform::Sha256::digest(data);
    platform::Sha256Digest decoded;
    if (work.resourceFork) {
        ByteBuffer& block = work.buffers.decoded;
        block.resize(DecmpfsResourceFork::chunkSize);
        platform::Sha256 hasher;
        DecmpfsResourceFork::decodeBlocks(*work.resourceFork, data.size(), block.span(),
                                          [&](std::span<const std::uint8_t> bytes) { hasher.update(bytes); });
        decoded = hasher.finish();
    } else {
        decoded = platform::Sha256::digest(DecmpfsInline::decode(work.decmpfsXattr));
    }
    if (decoded != expected)
        throw Error(Error::roundtripVerificationFailed{work.url});
}

// --- compression, in memory
void compressPrepare(RoadWork& work)
{
    readWhole(work.lockFd, work.snapshot.size, work.url, "read source", work.buffers.source);
    const std::span<const std::uint8_t> data = work.buffers.source.span();
    encodeInMemory(work, data);
    proveInMemory(work, data);
}

void compressRecords(RoadWork& work, TemporaryFile& temporary)
{
    replacement::setExtendedAttribute(temporary.path(), platform::kDecmpfsXattrName, work.decmpfsXattr);
    if (work.resourceFork)
        replacement::setExtendedAttribute(temporary.path(), platform::kResourceForkXattrName, *work.resourceFork);
}

// --- compression, streamed
void compressStreamedRecords(RoadWork& work, TemporaryFile& temporary)
{
    work.algorithm = DecmpfsResourceFork::compressionType;
    replacement::setExtendedAttribute(
        temporary.path(), platform::kDecmpfsXattrName,
        DecmpfsHeader::encode(DecmpfsResourceFork::compressionType, static_cast<std::uint64_t>(work.snapshot.size)));
    work.digest =
        writeResourceForkStreaming(work.url, work.lockFd, temporary.path(), work.snapshot.size, work.buffers);
}

void compressStreamedProof(RoadWork& work, const TemporaryFile& temporary)
{
    verifyReadback(temporary, work.digest, work.snapshot.size, work.url, work.buffers.source);
}

// --- decompression, in memory
void decompressPrepare(RoadWork& work)
{
    ByteBuffer& data = work.buffers.source;
    readWhole(work.lockFd, work.snapshot.size, work.url, "read compressed", data);
    if (static_cast<std::int64_t>(data.size()) != work.snapshot.size)
        throw Error(Error::roundtripVerificationFailed{work.url});
}

void decompressData(RoadWork& work, TemporaryFile& temporary)
{
    const std::span<const std::uint8_t> data = work.buffers.source.span();
    replacement::writeFully(data, temporary.descriptor(), temporary.path());
    work.written = static_cast<std::int64_t>(data.size());
    notifyStep("write data");
}

// --- decompression, streamed: the file's readable (decompressed) contents
// copied into the temporary file in chunks.
void decompressStreamedData(RoadWork& work, TemporaryFile& temporary)
{
    const Path& temporaryUrl = temporary.path();
    platform::UniqueFd writer = temporary.openWriter();
    // Departs from opening the file again by path: that may be a link or a
    // FIFO by now. The locked descriptor's own file is read.
    auto source = platform::FileHandle::reopenForReading(work.lockFd);
    if (!source)
        throw Error(Error::ioError{work.url, "open compressed for streaming"});
    const auto write = [&](std::span<const std::uint8_t> chunk) {
        if (replacement::writeAll(writer.get(), chunk) != 0)
            throw Error(Error::ioError{temporaryUrl, platform::PosixError("write kvtmp", errno).description()});
        notifyStep("write chunk");
    };
    work.written = readInChunks(*source, work.url, "read compressed", write, work.buffers.source);
    if (writer.close() != 0)
        throw Error(Error::ioError{temporaryUrl, platform::PosixError("close kvtmp", errno).description()});
    source->close();
    if (work.written != work.snapshot.size)
        throw Error(Error::roundtripVerificationFailed{work.url});
}

enum RoadIndex { compressInMemory, compressStreamed, decompressInMemory, decompressStreamed, emptying };

constexpr Road roads[] = {
    {"compress in memory", true, true, compressPrepare, nullptr, compressRecords, nullptr},
    {"compress streamed", true, true, nullptr, nullptr, compressStreamedRecords, compressStreamedProof},
    {"decompress in memory", false, true, decompressPrepare, decompressData, nullptr, nullptr},
    {"decompress streamed", false, true, nullptr, decompressStreamedData, nullptr, nullptr},
    {"empty", false, false, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

const Road& selectRoad(Conversion conversion, std::int64_t size, std::int64_t streamingThreshold)
{
    const bool streamed = size >= streamingThreshold;
    if (conversion == Conversion::compress)
        return roads[streamed ? compressStreamed : compressInMemory];
    return roads[streamed ? decompressStreamed : decompressInMemory];
}

const Road& emptyingRoad() { return roads[emptying]; }

}  // namespace kelvane::engine
