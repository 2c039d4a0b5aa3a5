#include "platform/DecmpfsRecord.h"

#include "codec/LzfseDecoder.h"
#include "codec/LzvnDecoder.h"
#include "platform/InodeRecords.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace kelvane::platform::decmpfs {

namespace {

// First capacity tried for inline payloads; a lying header costs no more.
constexpr std::size_t kFirstInlineCapacity = 1 << 20;

// The platform stores an incompressible inline chunk as a marker byte followed
// by the raw bytes: low nibble 0xF for zlib (never a valid zlib header), 0x06
// for LZVN (the end opcode, which cannot start a non-empty payload).
bool isRawZlibChunk(std::span<const std::uint8_t> bytes) { return !bytes.empty() && (bytes[0] & 0x0f) == 0x0f; }
bool isRawLzvnChunk(std::span<const std::uint8_t> bytes) { return !bytes.empty() && bytes[0] == 0x06; }

bool copyRaw(std::span<const std::uint8_t> raw, std::span<std::uint8_t> out)
{
    if (raw.size() < out.size())
        return false;
    std::copy_n(raw.begin(), out.size(), out.begin());
    return true;
}

// Count semantics of the platform's decoder: decoding stops when the
// destination is full, and the call succeeds when it filled it exactly.
bool filled(const codec::DecodeResult& result, std::size_t expected)
{
    return result.status != codec::DecodeStatus::malformed && result.written == expected;
}

enum class Attempt { done, failed, needsMore };

Attempt decodeInto(std::uint32_t type, std::span<const std::uint8_t> payload, std::span<std::uint8_t> out,
                   bool isFinalCapacity)
{
    codec::DecodeResult result;
    switch (type) {
    case lzvnAttr:
    case lzvnRsrc:
        result = codec::lzvnDecode(payload, out);
        break;
    case lzfseAttr:
    case lzfseRsrc:
        result = codec::lzfseDecode(payload, out);
        break;
    case zlibAttr: {
        z_stream stream{};
        if (inflateInit(&stream) != Z_OK)
            return Attempt::failed;
        stream.next_in = const_cast<Bytef*>(payload.data());
        stream.avail_in = static_cast<uInt>(std::min<std::size_t>(payload.size(), UINT32_MAX));
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        const int status = inflate(&stream, Z_FINISH);
        const std::size_t written = out.size() - stream.avail_out;
        inflateEnd(&stream);
        if (status == Z_STREAM_END)
            result = {codec::DecodeStatus::ok, written};
        else if (stream.avail_out == 0 && (status == Z_OK || status == Z_BUF_ERROR))
            result = {codec::DecodeStatus::destinationFull, written};
        else
            result = {codec::DecodeStatus::malformed, written};
        break;
    }
    default:
        return Attempt::failed;
    }
    if (!isFinalCapacity)
        return result.status == codec::DecodeStatus::destinationFull ? Attempt::needsMore : Attempt::failed;
    return filled(result, out.size()) ? Attempt::done : Attempt::failed;
}

}  // namespace

std::optional<Header> readHeader(std::span<const std::uint8_t> record)
{
    if (record.size() < headerSize || le::load32(record.data()) != magic)
        return std::nullopt;
    return Header{le::load32(record.data() + 4), le::load64(record.data() + 8)};
}

bool isInlineType(std::uint32_t type)
{
    return type == uncompressedAttr || type == zlibAttr || type == lzvnAttr || type == uncompressedAttrV2 ||
           type == lzfseAttr;
}

bool isForkType(std::uint32_t type)
{
    return type == lzvnRsrc || type == lzfseRsrc;
}

bool decodeInline(const Header& header, std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (!isInlineType(header.type) || header.size > maxLogicalSize)
        return false;
    const std::size_t size = static_cast<std::size_t>(header.size);
    if (size == 0)
        return true;

    std::span<const std::uint8_t> raw;
    bool isRaw = false;
    switch (header.type) {
    case uncompressedAttr:
        raw = payload, isRaw = true;
        break;
    case uncompressedAttrV2:
        if (payload.empty() || payload[0] != 0xff)
            return false;
        raw = payload.subspan(1), isRaw = true;
        break;
    case zlibAttr:
        if (isRawZlibChunk(payload))
            raw = payload.subspan(1), isRaw = true;
        break;
    case lzvnAttr:
        if (isRawLzvnChunk(payload))
            raw = payload.subspan(1), isRaw = true;
        break;
    default:
        break;
    }
    if (isRaw) {
        if (raw.size() < size)
            return false;
        out.assign(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(size));
        return true;
    }

    for (std::size_t capacity = std::min(size, kFirstInlineCapacity);; capacity = std::min(size, capacity * 8)) {
        out.resize(capacity);
        switch (decodeInto(header.type, payload, out, capacity == size)) {
        case Attempt::done:
            return true;
        case Attempt::failed:
            out.clear();
            return false;
        case Attempt::needsMore:
            break;
        }
    }
}

bool decodeBlock(std::uint32_t type, std::span<const std::uint8_t> block, std::span<std::uint8_t> out)
{
    if (!isForkType(type))
        return false;
    if (out.empty())
        return true;
    if (type == lzvnRsrc && isRawLzvnChunk(block))
        return copyRaw(block.subspan(1), out);
    return decodeInto(type, block, out, true) == Attempt::done;
}

}  // namespace kelvane::platform::decmpfs
