// SPDX-License-Identifier: MIT
#include "codec/LzfseDecoder.h"

#include "codec/GuardedBuffer.h"
#include "codec/HandMadeStreams.h"
#include "codec/LzfseBlockHeader.h"
#include "codec/LzfseVectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kelvane::codec {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::GuardedBuffer;

const std::vector<test::LzfseVector>& vectors()
{
    static const auto all = test::loadLzfseVectors();
    return all;
}

const test::LzfseVector& vectorNamed(const std::string& name)
{
    for (const auto& v : vectors())
        if (v.name == name)
            return v;
    throw std::runtime_error("no vector " + name);
}

bool startsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix)
{
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

using test::bytesOf;
using test::lzvnBlock;
using test::lzvnRun;
using test::operator+;
using test::rawBlock;
using test::UniformBlock;

const Bytes& kEnd = test::kEndOfStream;

// Every triple the same, read from an L/M/D payload of zeros.
Bytes uniformBlock(std::uint8_t literal, std::uint32_t literalCount, std::uint32_t matchCount, int lSymbol,
                   int mSymbol, int dSymbol)
{
    return UniformBlock{literal, literalCount, matchCount, lSymbol, mSymbol, dSymbol, {}}.bytes();
}

DecodeResult decode(const Bytes& stream, Bytes& out, std::size_t capacity = 4096)
{
    out.assign(capacity, 0);
    const DecodeResult r = lzfseDecode(stream, out);
    out.resize(r.written);
    return r;
}

TEST(LzfseDecoder, DecodesEveryValidVectorIntoADestinationOfExactlyItsSize)
{
    int checked = 0;
    for (const auto& v : vectors()) {
        if (!v.mustDecode)
            continue;
        SCOPED_TRACE(v.name);
        GuardedBuffer exact(v.raw.size());
        const DecodeResult r = lzfseDecode(v.stream, exact.span());
        EXPECT_EQ(r, (DecodeResult{DecodeStatus::ok, v.raw.size()}));
        EXPECT_TRUE(std::equal(v.raw.begin(), v.raw.end(), exact.first(v.raw.size()).begin()));
        EXPECT_TRUE(exact.guardsIntact());

        // A larger destination still gets exactly the stream's bytes.
        GuardedBuffer roomy(v.raw.size() + 1000);
        EXPECT_EQ(lzfseDecode(v.stream, roomy.span()), (DecodeResult{DecodeStatus::ok, v.raw.size()}));
        EXPECT_TRUE(std::equal(v.raw.begin(), v.raw.end(), roomy.first(v.raw.size()).begin()));
        ++checked;
    }
    EXPECT_GE(checked, 40);
}

TEST(LzfseDecoder, OneByteShortFillsTheDestinationAndWritesNothingPastIt)
{
    for (const auto& v : vectors()) {
        if (!v.mustDecode || v.raw.empty())
            continue;
        SCOPED_TRACE(v.name);
        GuardedBuffer shortBy1(v.raw.size() - 1);
        EXPECT_EQ(lzfseDecode(v.stream, shortBy1.span()),
                  (DecodeResult{DecodeStatus::destinationFull, v.raw.size() - 1}));
        EXPECT_TRUE(std::equal(v.raw.begin(), v.raw.end() - 1, shortBy1.first(v.raw.size() - 1).begin()));
        EXPECT_TRUE(shortBy1.guardsIntact());
    }
}

TEST(LzfseDecoder, EveryDestinationSizeGetsExactlyTheStreamsPrefix)
{
    // Raw, LZVN, v1 and v2 blocks, long runs and short distances.
    for (const char* name : {"mixed-blocks", "run-00-65536", "cycle-256-65536", "text-4097", "run-41-x100"}) {
        const auto& v = vectorNamed(name);
        SCOPED_TRACE(name);
        for (std::size_t size = 0; size < v.raw.size(); size += (size < 300 ? 1 : 97)) {
            GuardedBuffer dst(size);
            const DecodeResult r = lzfseDecode(v.stream, dst.span());
            ASSERT_EQ(r, (DecodeResult{DecodeStatus::destinationFull, size})) << "size " << size;
            ASSERT_TRUE(startsWith(v.raw, dst.first(size))) << "size " << size;
            ASSERT_TRUE(dst.guardsIntact()) << "size " << size;
        }
    }
}

TEST(LzfseDecoder, RejectsEveryBadVector)
{
    int checked = 0;
    for (const auto& v : vectors()) {
        if (v.mustDecode)
            continue;
        SCOPED_TRACE(v.name);
        GuardedBuffer dst(2 << 20);
        EXPECT_EQ(lzfseDecode(v.stream, dst.span()).status, DecodeStatus::malformed);
        EXPECT_TRUE(dst.guardsIntact());
        ++checked;
    }
    EXPECT_EQ(checked, 5);
}

TEST(LzfseDecoder, BlockLevelRulesOnHandMadeStreams)
{
    Bytes out;
    // Only the end marker; a zero-length raw block between others.
    EXPECT_EQ(decode(kEnd, out), (DecodeResult{DecodeStatus::ok, 0}));
    EXPECT_EQ(decode(rawBlock("ab") + rawBlock("") + rawBlock("c") + kEnd, out), (DecodeResult{DecodeStatus::ok, 3}));
    EXPECT_EQ(out, bytesOf("abc"));
    // Bytes after the end marker are ignored, whatever they are.
    EXPECT_EQ(decode(rawBlock("ab") + kEnd + bytesOf("bvx-\xff\xff\xff\xffjunk"), out),
              (DecodeResult{DecodeStatus::ok, 2}));
    // No end marker, a cut marker, an unknown magic, an empty input.
    EXPECT_EQ(decode(rawBlock("ab"), out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(rawBlock("ab") + bytesOf("bvx"), out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(rawBlock("ab") + bytesOf("bvx%") + kEnd, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode({}, out).status, DecodeStatus::malformed);
    // A raw block whose count runs past the input, also with a destination
    // too small for it: a cut stream is malformed either way.
    EXPECT_EQ(decode(bytesOf("bvx-\x05\x00\x00\x00" "abcd"), out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(bytesOf("bvx-\x05\x00\x00\x00" "abcd"), out, 2).status, DecodeStatus::malformed);
    // An LZVN block whose payload size runs past the input.
    EXPECT_EQ(decode(bytesOf("bvxn\x01\x00\x00\x00\x09\x00\x00\x00\x06") + Bytes(7, 0), out).status,
              DecodeStatus::malformed);
}

TEST(LzfseDecoder, TriplesCopyLiteralsThenMatchAndCheckTheirReach)
{
    Bytes out;
    // L = 4, M = 3, D = 4, twice: "aaaa" + "aaa", then again from further on.
    EXPECT_EQ(decode(uniformBlock('a', 8, 2, 4, 3, 4) + kEnd, out), (DecodeResult{DecodeStatus::ok, 14}));
    EXPECT_EQ(out, Bytes(14, 'a'));
    // Trailing literals travel in a triple with M = 0, where D = 0 is fine,
    // and so is a distance within what is out; one beyond it is not.
    EXPECT_EQ(decode(uniformBlock('z', 4, 1, 4, 0, 0) + kEnd, out), (DecodeResult{DecodeStatus::ok, 4}));
    EXPECT_EQ(out, bytesOf("zzzz"));
    EXPECT_EQ(decode(uniformBlock('z', 4, 1, 1, 0, 1) + kEnd, out), (DecodeResult{DecodeStatus::ok, 1}));
    EXPECT_EQ(decode(uniformBlock('z', 4, 1, 1, 0, 2) + kEnd, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(rawBlock("x") + uniformBlock('z', 4, 1, 1, 0, 2) + kEnd, out),
              (DecodeResult{DecodeStatus::ok, 2}));
    // Distance 6 with 4 bytes produced; distance 0 before any distance.
    EXPECT_EQ(decode(uniformBlock('a', 4, 1, 4, 3, 5) + kEnd, out).status, DecodeStatus::malformed);
    EXPECT_EQ(decode(uniformBlock('a', 4, 1, 4, 3, 0) + kEnd, out).status, DecodeStatus::malformed);
    // Two triples of 4 literals each, but only 4 literals in the block.
    EXPECT_EQ(decode(uniformBlock('a', 4, 2, 4, 3, 4) + kEnd, out).status, DecodeStatus::malformed);
    // A match reaches into the raw block before it; alone it reaches nothing.
    const Bytes copyBack4 = uniformBlock('a', 0, 1, 0, 4, 4);
    EXPECT_EQ(decode(rawBlock("wxyz") + copyBack4 + kEnd, out), (DecodeResult{DecodeStatus::ok, 8}));
    EXPECT_EQ(out, bytesOf("wxyzwxyz"));
    EXPECT_EQ(decode(copyBack4 + kEnd, out).status, DecodeStatus::malformed);
    // One byte less before it: the distance is one past what was produced.
    EXPECT_EQ(decode(rawBlock("xyz") + copyBack4 + kEnd, out).status, DecodeStatus::malformed);
    // M = 312 at distance 1 (a run) into a destination that ends inside it.
    const Bytes run = rawBlock("q") + uniformBlock('a', 0, 1, 0, 19, 1) + kEnd;
    EXPECT_EQ(decode(run, out, 313), (DecodeResult{DecodeStatus::ok, 313}));
    EXPECT_EQ(out, Bytes(313, 'q'));
    EXPECT_EQ(decode(run, out, 200), (DecodeResult{DecodeStatus::destinationFull, 200}));
    EXPECT_EQ(out, Bytes(200, 'q'));
}

TEST(LzfseDecoder, RejectsBlocksWhoseTablesOrStatesBreakTheLimits)
{
    const auto& v = vectorNamed("text-4096");
    const auto patched = [&](std::size_t at, std::uint8_t value) {
        Bytes b = v.stream;
        b[at] = value;
        return b;
    };
    Bytes out;
    ASSERT_EQ(decode(v.stream, out, v.raw.size()).status, DecodeStatus::ok);
    EXPECT_EQ(decode(patched(32, 0x1f), out, v.raw.size()).status, DecodeStatus::malformed);  // 65 L states
    EXPECT_EQ(decode(patched(28, 0x7f), out, v.raw.size()).status, DecodeStatus::malformed);  // L start state 127
    // 40,004 literals (low bits of the first packed word): more than a block may hold.
    Bytes tooMany = patched(8, 0x44);
    tooMany[9] = 0x9C;
    EXPECT_EQ(decode(tooMany, out, v.raw.size()).status, DecodeStatus::malformed);
}

TEST(LzfseDecoder, AnLzvnBlockProducesExactlyTheBytesItDeclares)
{
    Bytes out;
    // 89 bytes of instructions, announced as 89: whole, and the next block follows on.
    const Bytes run89 = lzvnRun('x', 89) + test::kLzvnEnd;
    EXPECT_EQ(decode(lzvnBlock(89, run89) + rawBlock("yz") + kEnd, out), (DecodeResult{DecodeStatus::ok, 91}));
    EXPECT_EQ(out, Bytes(89, 'x') + bytesOf("yz"));
    // Announced as 85, they go on past it: rejected where the block should end,
    // also when the destination ends there too. A destination that ends
    // earlier cannot tell, and is full.
    EXPECT_EQ(decode(lzvnBlock(85, run89) + kEnd, out), (DecodeResult{DecodeStatus::malformed, 85}));
    EXPECT_EQ(decode(lzvnBlock(85, run89) + kEnd, out, 85), (DecodeResult{DecodeStatus::malformed, 85}));
    EXPECT_EQ(decode(lzvnBlock(85, run89) + kEnd, out, 84), (DecodeResult{DecodeStatus::destinationFull, 84}));
    // Announced as more than they make: rejected at their end.
    EXPECT_EQ(decode(lzvnBlock(90, run89) + rawBlock("yz") + kEnd, out), (DecodeResult{DecodeStatus::malformed, 89}));
    EXPECT_EQ(decode(lzvnBlock(90, run89) + kEnd, out, 89), (DecodeResult{DecodeStatus::malformed, 89}));
    EXPECT_EQ(decode(lzvnBlock(4, bytesOf("\xE3" "abc") + test::kLzvnEnd) + kEnd, out).status,
              DecodeStatus::malformed);
    EXPECT_EQ(decode(lzvnBlock(3, bytesOf("\xE3" "abc") + test::kLzvnEnd) + kEnd, out),
              (DecodeResult{DecodeStatus::ok, 3}));
    // Nothing announced, nothing made.
    EXPECT_EQ(decode(lzvnBlock(0, test::kLzvnEnd) + rawBlock("q") + kEnd, out), (DecodeResult{DecodeStatus::ok, 1}));
}

TEST(LzfseDecoder, TheLmdStreamIsReadFromItsOwnPayloadAlone)
{
    Bytes out;
    // Four triples of L = 4, M = 4, D = 1 that take no bits: their eight
    // bytes of zeros make the first load, fewer do not.
    UniformBlock block{'a', 16, 4, 4, 4, 1, {}};
    EXPECT_EQ(decode(block.bytes() + kEnd, out), (DecodeResult{DecodeStatus::ok, 32}));
    EXPECT_EQ(out, Bytes(32, 'a'));
    for (std::size_t size : {0, 1, 7}) {
        block.lmdPayload = Bytes(size, 0);
        EXPECT_EQ(decode(block.bytes() + kEnd, out).status, DecodeStatus::malformed) << size << " bytes";
    }
    // Triples of L = 16 + two extra bits each: 8 bytes hold them for five
    // triples (each refill must leave 56 bits), not for six, even with zeros
    // in the literal payload just below.
    UniformBlock twoBits{'a', 96, 5, 16, 0, 0, Bytes(8, 0)};
    EXPECT_EQ(decode(twoBits.bytes() + kEnd, out), (DecodeResult{DecodeStatus::ok, 80}));
    twoBits.matchCount = 6;
    EXPECT_EQ(decode(twoBits.bytes() + kEnd, out).status, DecodeStatus::malformed);
    twoBits.lmdPayload = Bytes(9, 0);
    EXPECT_EQ(decode(twoBits.bytes() + kEnd, out), (DecodeResult{DecodeStatus::ok, 96}));
}

TEST(LzfseDecoder, ABlockWithoutTriplesStillNeedsAValidLmdStream)
{
    Bytes out;
    UniformBlock none{'a', 4, 0, 0, 0, 0, {}};
    EXPECT_EQ(decode(none.bytes() + rawBlock("b") + kEnd, out), (DecodeResult{DecodeStatus::ok, 1}));
    EXPECT_EQ(out, bytesOf("b"));
    // Too short for the first load; unused high bits of the last byte set.
    none.lmdPayload = Bytes(4, 0);
    EXPECT_EQ(decode(none.bytes() + rawBlock("b") + kEnd, out).status, DecodeStatus::malformed);
    none.lmdPayload = {0, 0, 0, 0, 0, 0, 0, 0x80};
    none.lmdFinalBits = -3;
    EXPECT_EQ(decode(none.bytes() + rawBlock("b") + kEnd, out).status, DecodeStatus::malformed);
    none.lmdPayload.back() = 0x1F;  // the five bits in use may be anything
    EXPECT_EQ(decode(none.bytes() + rawBlock("b") + kEnd, out), (DecodeResult{DecodeStatus::ok, 1}));
}

}  // namespace
}  // namespace kelvane::codec
