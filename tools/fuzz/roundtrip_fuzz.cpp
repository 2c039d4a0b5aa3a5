// SPDX-License-Identifier: MIT
// libFuzzer target: the encoders on arbitrary input. Decoding what they wrote
// gives the input back, and encoding the same input twice gives the same bytes
// (LZFSE streams and bare LZVN payloads).
#include "codec/LzfseDecoder.h"
#include "codec/LzfseEncoder.h"
#include "codec/LzvnDecoder.h"
#include "codec/LzvnEncoder.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace kelvane::codec;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

Bytes lzfse(std::span<const std::uint8_t> src)
{
    Bytes out(lzfseEncodeBound(src.size()));
    out.resize(lzfseEncode(src, out));
    require(!out.empty());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> src(data, size);

    const Bytes stream = lzfse(src);
    require(lzfse(src) == stream);
    Bytes decoded(size);
    const DecodeResult r = lzfseDecode(stream, decoded);
    require(r.status != DecodeStatus::malformed && r.written == size);
    require(size == 0 || std::memcmp(decoded.data(), data, size) == 0);

    // A bare LZVN payload, given all the room it may take.
    Bytes payload(size + size / 2 + 64);
    payload.resize(lzvnEncode(src, payload));
    if (!payload.empty()) {
        Bytes again(size + size / 2 + 64);
        again.resize(lzvnEncode(src, again));
        require(again == payload);
        Bytes back(size);
        const DecodeResult v = lzvnDecode(payload, back);
        require(v.status != DecodeStatus::malformed && v.written == size);
        require(size == 0 || std::memcmp(back.data(), data, size) == 0);
    }
    return 0;
}
