// SPDX-License-Identifier: MIT
// libFuzzer target: lzvnDecode on arbitrary input (see build.sh). The first
// two bytes choose how many bytes of earlier output precede the payload.
#include "codec/LzvnDecoder.h"

#include <cstdlib>
#include <cstring>
#include <memory>

using kelvane::codec::DecodeResult;
using kelvane::codec::DecodeStatus;
using kelvane::codec::lzvnDecode;

namespace {

constexpr std::size_t kCapacity = 1 << 16;

// Exactly-sized heap buffers, so that the address sanitizer sees any access
// outside the destination.
DecodeResult decodeInto(std::span<const std::uint8_t> src, std::unique_ptr<std::uint8_t[]>& dst, std::size_t prefix,
                        std::size_t capacity)
{
    dst.reset(new std::uint8_t[prefix + capacity]);
    for (std::size_t i = 0; i < prefix; ++i)
        dst[i] = static_cast<std::uint8_t>(i * 7);
    const DecodeResult r = lzvnDecode(src, {dst.get(), prefix + capacity}, prefix);
    if (r.written > capacity || (r.status == DecodeStatus::destinationFull && r.written != capacity))
        std::abort();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t prefix = data[0] | std::size_t{data[1]} << 8;
    const std::span<const std::uint8_t> src(data + 2, size - 2);
    std::unique_ptr<std::uint8_t[]> big;
    const DecodeResult all = decodeInto(src, big, prefix, kCapacity);
    if (all.written == 0)
        return 0;

    // A smaller destination must fill up with exactly the same bytes.
    const std::size_t smaller = (all.written * data[size / 2]) / 256;
    std::unique_ptr<std::uint8_t[]> part;
    const DecodeResult r = decodeInto(src, part, prefix, smaller);
    if (r.status != DecodeStatus::destinationFull || std::memcmp(part.get(), big.get(), prefix + smaller) != 0)
        std::abort();
    return 0;
}
