// SPDX-License-Identifier: MIT
#include "codec/LzvnDecoder.h"

#include "codec/GuardedBuffer.h"
#include "codec/LzfseVectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace kelvane::codec {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::GuardedBuffer;

Bytes bytes(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }

const Bytes kEnd = bytes({0x06, 0, 0, 0, 0, 0, 0, 0});

// The payload of the single `bvxn` block of a vector.
Bytes lzvnPayload(const test::LzfseVector& v)
{
    const auto le32 = [&](std::size_t at) {
        std::uint32_t x;
        std::memcpy(&x, v.stream.data() + at, 4);
        return x;
    };
    EXPECT_EQ(std::string(v.stream.begin(), v.stream.begin() + 4), "bvxn");
    return {v.stream.begin() + 12, v.stream.begin() + 12 + le32(8)};
}

DecodeResult decode(const Bytes& payload, Bytes& out, std::size_t capacity = 4096)
{
    out.assign(capacity, 0);
    const DecodeResult r = lzvnDecode(payload, out);
    out.resize(r.written);
    return r;
}

// Every instruction kind once, with the output written out by hand.
const Bytes kEveryInstruction =
    bytes({0xE3}) + text("xyz") +             // 3 literals
    bytes({0xA9, 0x0D, 0x00}) + text("w") +   // 1 literal, then 8 from 3 back (14-bit distance form)
    bytes({0x0E, 0x16}) +                     // two no-ops
    bytes({0xF4}) +                           // 4 from the same distance
    bytes({0x88, 0x02}) + text("ab") +        // 2 literals, then 4 from 2 back
    bytes({0x46}) + text("k") +               // 1 literal, then 3 from the same distance
    bytes({0xE0, 0x00}) + text("0123456789ABCDEF") +  // 16 literals
    bytes({0xF0, 0x02}) +                     // 18 from the same distance
    bytes({0x17, 0x2C, 0x00}) +               // 5 from 44 back (16-bit distance form)
    kEnd;
const std::string kEveryInstructionOutput =
    "xyzwyzwyzwyz" "wyzw" "ababab" "kbkb" "0123456789ABCDEF" "EFEFEFEFEFEFEFEFEF" "ababa";

TEST(LzvnDecoder, DecodesThePayloadsOfTheVectors)
{
    for (const auto& v : test::loadLzfseVectors()) {
        if (!v.mustDecode || std::string(v.stream.begin(), v.stream.begin() + 4) != "bvxn")
            continue;
        SCOPED_TRACE(v.name);
        const Bytes payload = lzvnPayload(v);
        GuardedBuffer exact(v.raw.size());
        EXPECT_EQ(lzvnDecode(payload, exact.span()), (DecodeResult{DecodeStatus::ok, v.raw.size()}));
        EXPECT_TRUE(std::equal(v.raw.begin(), v.raw.end(), exact.first(v.raw.size()).begin()));
        EXPECT_TRUE(exact.guardsIntact());

        GuardedBuffer shortBy1(v.raw.size() - 1);
        EXPECT_EQ(lzvnDecode(payload, shortBy1.span()),
                  (DecodeResult{DecodeStatus::destinationFull, v.raw.size() - 1}));
        EXPECT_TRUE(std::equal(v.raw.begin(), v.raw.end() - 1, shortBy1.first(v.raw.size() - 1).begin()));
        EXPECT_TRUE(shortBy1.guardsIntact());
    }
}

TEST(LzvnDecoder, EveryInstructionKindAndEveryDestinationSize)
{
    const std::size_t total = kEveryInstructionOutput.size();
    Bytes out;
    EXPECT_EQ(decode(kEveryInstruction, out), (DecodeResult{DecodeStatus::ok, total}));
    EXPECT_EQ(std::string(out.begin(), out.end()), kEveryInstructionOutput);

    for (std::size_t size = 0; size <= total; ++size) {
        GuardedBuffer dst(size);
        const DecodeResult r = lzvnDecode(kEveryInstruction, dst.span());
        const auto expected = size == total ? DecodeStatus::ok : DecodeStatus::destinationFull;
        ASSERT_EQ(r, (DecodeResult{expected, size})) << "size " << size;
        ASSERT_EQ(std::string(dst.first(size).begin(), dst.first(size).end()), kEveryInstructionOutput.substr(0, size));
        ASSERT_TRUE(dst.guardsIntact()) << "size " << size;
    }
}

TEST(LzvnDecoder, TheEndInstructionMustCloseThePayload)
{
    Bytes out;
    const Bytes one = bytes({0xE1, 'a'});
    EXPECT_EQ(decode(one + kEnd, out), (DecodeResult{DecodeStatus::ok, 1}));
    // Eight bytes whatever the seven after the opcode hold; fewer is an end
    // cut short, more is something after the end.
    EXPECT_EQ(decode(one + bytes({0x06, 1, 0x80, 0xFF, 0x06, 0, 0, 7}), out), (DecodeResult{DecodeStatus::ok, 1}));
    EXPECT_EQ(out, text("a"));
    EXPECT_EQ(decode(one + bytes({0x06}), out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(one + bytes({0x06, 0, 0, 0, 0, 0, 0}), out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(one + kEnd + bytes({0}), out).status, DecodeStatus::malformed);
    // An end in the middle, no end at all, an empty payload.
    EXPECT_EQ(decode(one + kEnd + one + kEnd, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(one, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode({}, out).status, DecodeStatus::malformed);
    // A full destination stops before an end that would not have closed the payload.
    EXPECT_EQ(decode(one + one + kEnd + one, out, 1), (DecodeResult{DecodeStatus::destinationFull, 1}));
}

TEST(LzvnDecoder, RejectsUndefinedCutAndOverreachingInstructions)
{
    Bytes out;
    for (int op : {0x1E, 0x26, 0x2E, 0x36, 0x3E, 0x70, 0x77, 0x7F, 0xD0, 0xD7, 0xDF})
        EXPECT_EQ(decode(bytes({0xE1, 'a', op}) + kEnd, out).status, DecodeStatus::malformed) << "op " << op;
    // Instructions cut short, literals included.
    for (const Bytes& cut : {bytes({0xE2, 'a'}), bytes({0xE0}), bytes({0xE0, 0x00}), bytes({0xF0}),
                             bytes({0x07, 0x01}), bytes({0xA0, 0x04}), bytes({0x08}), bytes({0xC8, 0x01, 'a', 'b'})})
        EXPECT_EQ(decode(bytes({0xE1, 'a'}) + cut, out).status, DecodeStatus::malformed);
    // Same-distance matches before any distance; distance 0; beyond the output.
    EXPECT_EQ(decode(bytes({0xE1, 'a', 0xF3}) + kEnd, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(bytes({0x46, 'a'}) + kEnd, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(bytes({0xE1, 'a', 0x00, 0x00}) + kEnd, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(bytes({0xE1, 'a', 0x00, 0x02}) + kEnd, out).status, DecodeStatus::malformed);
    // The literals of an instruction count: 2 back after 1 + 1 literal is fine.
    EXPECT_EQ(decode(bytes({0xE1, 'a', 0x40, 0x02, 'b'}) + kEnd, out), (DecodeResult{DecodeStatus::ok, 5}));
    EXPECT_EQ(std::string(out.begin(), out.end()), "ababa");
}

TEST(LzvnDecoder, MatchesReachIntoThePrefixAndOnlyNewBytesAreCounted)
{
    Bytes dst = text("hello") + Bytes(20, 0);
    const Bytes copyHello = bytes({0x10, 0x05}) + kEnd;  // 5 from 5 back
    EXPECT_EQ(lzvnDecode(copyHello, dst, 5), (DecodeResult{DecodeStatus::ok, 5}));
    EXPECT_EQ(std::string(dst.begin(), dst.begin() + 10), "hellohello");
    EXPECT_EQ(lzvnDecode(copyHello, dst, 4).status, DecodeStatus::malformed);
    // 3 from 25 back: valid with 25 bytes before, but no room left in a 25-byte destination.
    const Bytes copyFar = bytes({0x07, 0x19, 0x00}) + kEnd;
    EXPECT_EQ(lzvnDecode(copyFar, dst, 25), (DecodeResult{DecodeStatus::destinationFull, 0}));
    EXPECT_EQ(lzvnDecode(copyFar, dst, 24).status, DecodeStatus::malformed);
    // A prefix longer than the destination is a caller's mistake, not a crash.
    EXPECT_EQ(lzvnDecode(kEnd, dst, 26), (DecodeResult{DecodeStatus::malformed, 0}));
    EXPECT_EQ(lzvnDecode(kEnd, dst, 25), (DecodeResult{DecodeStatus::ok, 0}));
}

}  // namespace
}  // namespace kelvane::codec
