// SPDX-License-Identifier: MIT
// libFuzzer target: lzfseDecode on arbitrary input (see build.sh).
#include "codec/LzfseDecoder.h"

#include <cstdlib>
#include <cstring>
#include <memory>

using kelvane::codec::DecodeResult;
using kelvane::codec::DecodeStatus;
using kelvane::codec::lzfseDecode;

namespace {

// Exactly-sized heap buffers, so that the address sanitizer sees any write
// or read one byte outside the destination.
DecodeResult decodeInto(std::span<const std::uint8_t> src, std::unique_ptr<std::uint8_t[]>& dst, std::size_t size)
{
    dst.reset(new std::uint8_t[size]);
    const DecodeResult r = lzfseDecode(src, {dst.get(), size});
    if (r.written > size || (r.status == DecodeStatus::destinationFull && r.written != size))
        std::abort();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> src(data, size);
    std::unique_ptr<std::uint8_t[]> big;
    const DecodeResult all = decodeInto(src, big, std::size_t{1} << 20);
    if (all.written == 0)
        return 0;

    // A smaller destination must fill up with exactly the same bytes.
    const std::size_t smaller = (all.written * (size > 0 ? data[size / 2] : 0)) / 256;
    std::unique_ptr<std::uint8_t[]> part;
    const DecodeResult r = decodeInto(src, part, smaller);
    if (r.status != DecodeStatus::destinationFull || std::memcmp(part.get(), big.get(), smaller) != 0)
        std::abort();
    return 0;
}
