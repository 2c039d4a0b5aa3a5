// SPDX-License-Identifier: MIT
#include "codec/LzfseBlockHeader.h"
#include "codec/LzfseDecoder.h"
#include "codec/LzfseEncoder.h"
#include "codec/GuardedBuffer.h"
#include "codec/EncoderInputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <thread>

namespace kelvane::codec::test {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

// The stream for `src` with room for `capacity` bytes; empty when the encoder
// reports failure. Checks that nothing is written outside the room.
Bytes encode(const Bytes& src, std::size_t capacity)
{
    GuardedBuffer dst(capacity);
    const std::size_t n = lzfseEncode(src, dst.span());
    EXPECT_TRUE(dst.guardsIntact());
    EXPECT_LE(n, capacity);
    const auto out = dst.first(n);
    return Bytes(out.begin(), out.end());
}

Bytes encode(const Bytes& src) { return encode(src, lzfseEncodeBound(src.size())); }

// Decodes into a destination of exactly `size` bytes, insisting on a proper end.
Bytes decode(const Bytes& stream, std::size_t size)
{
    Bytes out(size);
    const DecodeResult r = lzfseDecode(stream, out);
    EXPECT_EQ(r.status, DecodeStatus::ok);
    EXPECT_EQ(r.written, size);
    return out;
}

std::string magicAt(const Bytes& s, std::size_t at) { return std::string(s.begin() + static_cast<std::ptrdiff_t>(at), s.begin() + static_cast<std::ptrdiff_t>(at + 4)); }

std::uint32_t le32(const Bytes& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | s[at + static_cast<std::size_t>(i)];
    return v;
}

struct Block {
    std::string magic;
    LzfseBlockHeader header;  // bvx2 only
};

// Walks the blocks of a stream we wrote; the walk itself checks the layout.
std::vector<Block> blocksOf(const Bytes& s)
{
    std::vector<Block> blocks;
    std::size_t at = 0;
    while (at + 4 <= s.size()) {
        Block b{magicAt(s, at), {}};
        blocks.push_back(b);
        if (b.magic == "bvx$") {
            EXPECT_EQ(at + 4, s.size()) << "bytes after the end marker";
            return blocks;
        }
        if (b.magic == "bvx-") {
            at += 8 + le32(s, at + 4);
        } else if (b.magic == "bvxn") {
            at += 12 + le32(s, at + 8);
        } else if (b.magic == "bvx2") {
            const auto parsed = parseLzfseBlockHeaderV2(std::span(s).subspan(at));
            if (!parsed) {
                ADD_FAILURE() << "unparsable bvx2 header at " << at;
                return blocks;
            }
            blocks.back().header = parsed->header;
            at += parsed->headerBytes + parsed->header.literalPayloadBytes + parsed->header.lmdPayloadBytes;
        } else {
            ADD_FAILURE() << "unexpected magic " << b.magic << " at " << at;
            return blocks;
        }
    }
    ADD_FAILURE() << "stream without an end marker";
    return blocks;
}

std::vector<std::string> magicsOf(const Bytes& s)
{
    std::vector<std::string> out;
    for (const Block& b : blocksOf(s))
        out.push_back(b.magic);
    return out;
}

template <std::size_t N>
std::uint32_t sum(const std::array<std::uint16_t, N>& freq)
{
    return std::accumulate(freq.begin(), freq.end(), std::uint32_t{0});
}

// What every bvx2 block we write must hold to, beyond decoding.
void expectBlockLimits(const LzfseBlockHeader& h)
{
    EXPECT_LE(h.matchCount, 10000u);
    EXPECT_LE(h.literalCount, 40000u);
    EXPECT_EQ(h.literalCount % 4, 0u);
    EXPECT_EQ(sum(h.lFreq), 64u);
    EXPECT_EQ(sum(h.mFreq), 64u);
    EXPECT_EQ(sum(h.dFreq), 256u);
    EXPECT_EQ(sum(h.literalFreq), 1024u);
}

TEST(LzfseEncoder, EveryCorpusFileRoundTripsInChunksAndAsOneStream)
{
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kelvane::test::corpusDir())) {
        if (entry.path().extension() != ".bin")
            continue;
        ++files;
        const std::string name = entry.path().filename().string();
        const Bytes& data = corpusFile(name);
        std::size_t compressed = 0;
        for (std::size_t at = 0; at < data.size(); at += kChunk) {
            const Bytes chunk(data.begin() + static_cast<std::ptrdiff_t>(at),
                              data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), at + kChunk)));
            const Bytes stream = encode(chunk, chunk.size() + 64);
            ASSERT_FALSE(stream.empty()) << name << " chunk at " << at;
            ASSERT_EQ(decode(stream, chunk.size()), chunk) << name << " chunk at " << at;
            compressed += stream.size();
        }
        // Never more than the raw block costs.
        EXPECT_LE(compressed, data.size() + 12 * ((data.size() + kChunk - 1) / kChunk)) << name;

        const Bytes whole = encode(data);
        ASSERT_FALSE(whole.empty()) << name;
        EXPECT_EQ(decode(whole, data.size()), data) << name;
        for (const Block& b : blocksOf(whole))
            if (b.magic == "bvx2")
                expectBlockLimits(b.header);
    }
    EXPECT_GE(files, 9u);
}

// The bound holds for every corpus chunk and for random inputs of every size
// around the block-kind limits, given all the room they could want, and it is
// reached: an LZVN block one byte shorter than its input costs 15 bytes more.
TEST(LzfseEncoder, NoStreamExceedsTheWorstCaseBound)
{
    std::size_t chunks = 0;
    const auto check = [&](const Bytes& src) {
        const Bytes stream = encode(src, src.size() + 1000);
        EXPECT_LE(stream.size(), lzfseEncodeBound(src.size())) << src.size();
        EXPECT_EQ(decode(stream, src.size()), src);
        return static_cast<std::int64_t>(stream.size()) - static_cast<std::int64_t>(src.size());
    };
    for (const auto& entry : std::filesystem::directory_iterator(kelvane::test::corpusDir())) {
        if (entry.path().extension() != ".bin")
            continue;
        const Bytes& data = corpusFile(entry.path().filename().string());
        for (std::size_t at = 0; at < data.size(); at += kChunk, ++chunks)
            check(Bytes(data.begin() + static_cast<std::ptrdiff_t>(at),
                        data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), at + kChunk))));
    }
    EXPECT_GE(chunks, 500u);

    std::int64_t largestLzvnOverhead = 0;
    for (std::size_t n = 0; n < 4200; n += n < 300 ? 1 : 37) {
        for (const unsigned alphabet : {2u, 4u, 16u, 256u}) {
            const std::int64_t overhead = check(randomBytes(n, static_cast<std::uint32_t>(n * 7 + alphabet), alphabet));
            if (n >= 8 && n < 4096)
                largestLzvnOverhead = std::max(largestLzvnOverhead, overhead);
            else
                EXPECT_LE(overhead, 12) << n;
        }
    }
    // A 65-byte input whose LZVN payload is 63 bytes.
    Bytes sixtyFive = text(40);
    sixtyFive.insert(sixtyFive.end(), sixtyFive.begin(), sixtyFive.begin() + 25);
    std::reverse(sixtyFive.begin(), sixtyFive.begin() + 40);
    largestLzvnOverhead = std::max(largestLzvnOverhead, check(sixtyFive));
    EXPECT_GT(largestLzvnOverhead, 12) << "the raw block is not the worst case";
    EXPECT_EQ(lzfseEncodeBound(7), 19u);
    EXPECT_EQ(lzfseEncodeBound(4096), 4108u);
}

TEST(LzfseEncoder, BlockKindFollowsInputSizeAndCompressibility)
{
    using M = std::vector<std::string>;
    // Under 8 bytes: raw, whatever the content.
    for (std::size_t n = 0; n < 8; ++n) {
        const Bytes zeros(n, 0);
        const Bytes stream = encode(zeros);
        EXPECT_EQ(stream.size(), n + 12);
        EXPECT_EQ(magicsOf(stream), (M{"bvx-", "bvx$"})) << n;
        EXPECT_EQ(decode(stream, n), zeros);
    }
    // 8..4095: LZVN when its payload is smaller than the input, else raw.
    for (std::size_t n : {8u, 9u, 100u, 1000u, 4095u}) {
        const Bytes zeros(n, 0);
        const Bytes t = text(n);
        const Bytes noise = randomBytes(n, static_cast<std::uint32_t>(n));
        EXPECT_EQ(magicsOf(encode(noise)), (M{"bvx-", "bvx$"})) << n;
        EXPECT_EQ(decode(encode(noise), n), noise);
        EXPECT_EQ(decode(encode(t), n), t);
        const Bytes z = encode(zeros);
        EXPECT_EQ(decode(z, n), zeros);
        if (n >= 16) {
            EXPECT_EQ(magicsOf(z), (M{"bvxn", "bvx$"})) << n;
            EXPECT_LT(le32(z, 8), n) << "LZVN payload must be smaller than the input";
        }
    }
    EXPECT_EQ(magicsOf(encode(text(1000))), (M{"bvxn", "bvx$"}));
    EXPECT_EQ(magicsOf(encode(text(4095))), (M{"bvxn", "bvx$"}));
    // From 4096: bvx2 when it pays, else raw.
    for (std::size_t n : {4096u, 4097u, 16384u}) {
        const Bytes t = text(n);
        const Bytes stream = encode(t);
        EXPECT_EQ(magicsOf(stream), (M{"bvx2", "bvx$"})) << n;
        EXPECT_EQ(decode(stream, n), t);
        EXPECT_EQ(magicsOf(encode(randomBytes(n, 7))), (M{"bvx-", "bvx$"})) << n;
    }
    // Even with room to spare, a bvx2 stream larger than the raw one is not kept.
    const Bytes noise = randomBytes(kChunk, 11);
    EXPECT_EQ(encode(noise, 2 * kChunk).size(), kChunk + 12);
}

TEST(LzfseEncoder, ExactCapacitySucceedsAndOneByteLessFails)
{
    Bytes sparse(20000, 0);
    for (std::size_t i = 0; i < sparse.size(); i += 997)
        sparse[i] = static_cast<std::uint8_t>(i);
    const std::vector<Bytes> inputs = {text(9), text(700), text(4096), text(50000), randomBytes(5000, 3), sparse,
                                       corpusFile("sqlite-db.bin")};
    for (const Bytes& src : inputs) {
        const Bytes full = encode(src);
        ASSERT_FALSE(full.empty());
        EXPECT_EQ(encode(src, full.size()), full) << src.size();
        EXPECT_TRUE(encode(src, full.size() - 1).empty()) << src.size();
        EXPECT_TRUE(encode(src, 0).empty());
    }
}

// The room given never changes the stream: a caller that keeps only streams
// up to some length gives that much room and gets the same stream or none.
// Rooms are drawn at random around the stream's length and the raw block's.
TEST(LzfseEncoder, AnyRoomGivesTheFullStreamOrNone)
{
    const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    Bytes tail = text(3000);
    tail.resize(9000, 0);
    const std::vector<Bytes> inputs = {text(600),          randomBytes(3000, 8),      randomBytes(6000, 9, 16),
                                       concat({randomBytes(9000, 10), tail}), text(70000), randomBytes(70000, 11)};
    for (const Bytes& src : inputs) {
        const Bytes full = encode(src);
        ASSERT_FALSE(full.empty());
        for (int i = 0; i < 12; ++i) {
            const std::size_t around = i % 2 == 0 ? full.size() : src.size() + 12;
            const std::size_t room = around - std::min<std::size_t>(around, 40) + rng() % 80;
            const Bytes got = encode(src, std::min(room, lzfseEncodeBound(src.size())));
            if (room >= full.size())
                EXPECT_EQ(got, full) << src.size() << " bytes in " << room;
            else
                EXPECT_TRUE(got.empty()) << src.size() << " bytes in " << room;
        }
    }
}

TEST(LzfseEncoder, SameInputGivesTheSameBytes)
{
    const Bytes& data = corpusFile("app-bundle.bin");
    const Bytes piece(data.begin(), data.begin() + 300000);
    const Bytes first = encode(piece);
    // Another call in between must leave no trace in the next one.
    (void)encode(text(20000));
    EXPECT_EQ(encode(piece), first);
    EXPECT_EQ(encode(piece, first.size() + 1000), first);
}

TEST(LzfseEncoder, FarMatchesUpToTheLargestDistanceAndNoFurther)
{
    const Bytes seed = randomBytes(4096, 42);
    for (std::size_t distance : {262139u, 262140u}) {
        const Bytes src = concat({seed, Bytes(distance - seed.size(), 0), seed});
        const Bytes stream = encode(src);
        EXPECT_EQ(decode(stream, src.size()), src) << distance;
        for (const Block& b : blocksOf(stream))
            if (b.magic == "bvx2")
                expectBlockLimits(b.header);
        // The repeat is found at the largest distance; one further it must be literals.
        if (distance == 262139)
            EXPECT_LT(stream.size(), 6000u);
        else
            EXPECT_GT(stream.size(), 8000u);
    }
    // Within one 64 KiB chunk the farthest repeats are found.
    const Bytes kib = randomBytes(1024, 5);
    const Bytes chunk = concat({kib, Bytes(kChunk - 2048, 0), kib});
    const Bytes stream = encode(chunk, chunk.size() + 64);
    EXPECT_EQ(decode(stream, chunk.size()), chunk);
    EXPECT_LT(stream.size(), 1400u);
    // So are repeats after a long stretch where nothing matched.
    const Bytes noise = randomBytes(20000, 6);
    const Bytes repeated = concat({kib, noise, kib});
    const Bytes unrelated = concat({kib, noise, randomBytes(1024, 7)});
    EXPECT_EQ(decode(encode(repeated), repeated.size()), repeated);
    EXPECT_LT(encode(repeated).size() + 500, encode(unrelated).size());
}

TEST(LzfseEncoder, LongRunsSplitIntoTriplesTheFormatCarries)
{
    // Zeros: one match far longer than a triple carries.
    for (std::size_t n : {4096u, 65536u, 262144u, 1000000u}) {
        const Bytes zeros(n, 0);
        const Bytes stream = encode(zeros);
        EXPECT_EQ(decode(stream, n), zeros) << n;
        EXPECT_LT(stream.size(), 200 + n / 1500) << n;
        for (const Block& b : blocksOf(stream)) {
            if (b.magic != "bvx2")
                continue;
            expectBlockLimits(b.header);
            // All literals are one symbol: the literal payload may be empty.
            EXPECT_EQ(b.header.literalFreq[0], 1024u);
        }
    }
    // A long cycle: matches at a distance other than 1, around split lengths.
    Bytes cycle;
    for (int i = 0; i < 70000; ++i)
        cycle.push_back(static_cast<std::uint8_t>((i * 7) % 251));
    EXPECT_EQ(decode(encode(cycle), cycle.size()), cycle);
    // Literal runs longer than one triple carries, between matches.
    const Bytes noisy = concat({randomBytes(1000, 1), text(3000), randomBytes(700, 2), text(3000)});
    EXPECT_EQ(decode(encode(noisy), noisy.size()), noisy);
}

TEST(LzfseEncoder, LargeInputsSpreadOverBlocksWithinTheLimits)
{
    // Many triples: text needs several blocks of at most 10,000 triples.
    const Bytes& t = corpusFile("text-headers.bin");
    const Bytes mib(t.begin(), t.begin() + (1 << 20));
    const Bytes textStream = encode(mib);
    EXPECT_EQ(decode(textStream, mib.size()), mib);
    // Many literals: a small alphabet compresses, but mostly as literals.
    const Bytes letters = randomBytes(300000, 9, 16);
    const Bytes letterStream = encode(letters);
    EXPECT_EQ(decode(letterStream, letters.size()), letters);
    EXPECT_LT(letterStream.size(), letters.size() * 6 / 10);

    for (const Bytes* stream : {&textStream, &letterStream}) {
        const auto blocks = blocksOf(*stream);
        EXPECT_GT(blocks.size(), 3u);
        std::uint64_t raw = 0;
        for (const Block& b : blocks) {
            if (b.magic == "bvx$")
                continue;
            ASSERT_EQ(b.magic, "bvx2");
            expectBlockLimits(b.header);
            raw += b.header.rawBytes;
        }
        EXPECT_EQ(raw, stream == &textStream ? mib.size() : letters.size());
    }
}

// Every `n`-byte string over `k` byte values exactly once (cyclically): no
// four bytes repeat when n = 4, so nothing can be matched.
Bytes deBruijn(unsigned k, unsigned n)
{
    Bytes out;
    std::vector<unsigned> a(k * n, 0);
    const auto build = [&](const auto& self, unsigned t, unsigned p) -> void {
        if (t > n) {
            if (n % p == 0)
                for (unsigned j = 1; j <= p; ++j)
                    out.push_back(static_cast<std::uint8_t>('a' + a[j]));
            return;
        }
        a[t] = a[t - p];
        self(self, t + 1, p);
        for (unsigned j = a[t - p] + 1; j < k; ++j) {
            a[t] = j;
            self(self, t + 1, t);
        }
    };
    build(build, 1, 1);
    return out;
}

struct BlockTotals {
    std::size_t blocks = 0;
    std::uint64_t rawBytes = 0;
    std::uint64_t triples = 0;
};

// Checks every bvx2 block of a stream against the limits and adds them up.
BlockTotals checkBlocks(const Bytes& stream)
{
    BlockTotals t;
    for (const Block& b : blocksOf(stream)) {
        if (b.magic != "bvx2")
            continue;
        expectBlockLimits(b.header);
        ++t.blocks;
        t.rawBytes += b.header.rawBytes;
        t.triples += b.header.matchCount;
    }
    return t;
}

TEST(LzfseEncoderParse, LiteralOnlyInputFillsBlocksToTheLiteralLimit)
{
    // 64,000 bytes over 40 letters in which no three bytes repeat: all
    // literals, at 5.3 bits each, over two blocks (40,000 literals at most).
    const Bytes letters = deBruijn(40, 3);
    ASSERT_EQ(letters.size(), 64000u);
    for (const Bytes& src : {letters, Bytes(letters.begin(), letters.begin() + 40000),
                             Bytes(letters.begin(), letters.begin() + 40001),
                             Bytes(letters.begin(), letters.begin() + 39999)}) {
        const Bytes stream = encode(src);
        ASSERT_EQ(decode(stream, src.size()), src) << src.size();
        const BlockTotals t = checkBlocks(stream);
        EXPECT_EQ(t.blocks, src.size() > 40000 ? 2u : 1u) << src.size();
        EXPECT_EQ(t.rawBytes, src.size());
        // Literal runs only: a triple per 315 literals at most, rounded up per block.
        EXPECT_LE(t.triples, src.size() / 315 + 2 * t.blocks) << src.size();
        EXPECT_LT(stream.size(), src.size() * 70 / 100) << src.size();
    }
}

TEST(LzfseEncoderParse, MatchOnlyRunsCrossBlocksAndRestateTheirDistance)
{
    // Periods of 16 bytes, each differing from the last in one byte: one
    // literal and a 15-byte match at distance 16 each, over 25,000 periods.
    // Every match repeats the previous distance, but the first one of a block
    // must state it, since the decoder forgets it at every block.
    const Bytes base = randomBytes(16, 77);
    const Bytes changes = randomBytes(25000, 78);
    Bytes src;
    for (std::uint32_t k = 0; k < 25000; ++k) {
        Bytes period = base;
        period[k % 16] = changes[k];
        src.insert(src.end(), period.begin(), period.end());
    }
    const Bytes stream = encode(src);
    ASSERT_EQ(decode(stream, src.size()), src);
    const BlockTotals t = checkBlocks(stream);
    EXPECT_GE(t.blocks, 3u) << "more triples than one block holds";
    EXPECT_EQ(t.rawBytes, src.size());
    EXPECT_LT(stream.size(), src.size() / 4);

    // And runs of a single byte: nothing but matches after the first literal,
    // across the 4 MiB stretches the parse is cut into.
    for (std::size_t n : {(std::size_t{4} << 20) - 1, std::size_t{4} << 20, (std::size_t{4} << 20) + 5}) {
        const Bytes same(n, 0x5A);
        const Bytes runs = encode(same);
        ASSERT_EQ(decode(runs, n), same) << n;
        EXPECT_EQ(checkBlocks(runs).rawBytes, n);
        EXPECT_LT(runs.size(), 5000u) << n;
    }
}

TEST(LzfseEncoderParse, RoundTripsAtEveryBlockAndSegmentEdge)
{
    // Text and a table-like binary cut at the sizes where the block kind or
    // the parse changes, and where a match or a literal run meets the end.
    const Bytes& t = corpusFile("text-headers.bin");
    const Bytes& db = corpusFile("sqlite-db.bin");
    for (const Bytes* data : {&t, &db}) {
        for (std::size_t n : {4095u, 4096u, 4097u, 65535u, 65536u, 65537u, 300000u}) {
            const Bytes src(data->begin(), data->begin() + static_cast<std::ptrdiff_t>(n));
            const Bytes stream = encode(src);
            ASSERT_EQ(decode(stream, n), src) << n;
            // Also ending in the middle of what would have been a long match.
            Bytes cut = concat({src, Bytes(src.begin(), src.begin() + 3000)});
            cut.resize(cut.size() - 1000);
            ASSERT_EQ(decode(encode(cut), cut.size()), cut) << n;
        }
    }
    // A 4 MiB stretch ends inside a repeat; each stretch starts its tables afresh.
    const Bytes piece(t.begin(), t.begin() + 100000);
    Bytes big;
    while (big.size() < (std::size_t{4} << 20) + 150000)
        big.insert(big.end(), piece.begin(), piece.end());
    const Bytes stream = encode(big);
    ASSERT_EQ(decode(stream, big.size()), big);
    EXPECT_EQ(checkBlocks(stream).rawBytes, big.size());
    EXPECT_LT(stream.size(), 100000u);
}

TEST(LzfseEncoderParse, LongMatchesAndRepeatsOfTheirMiddlesAreFound)
{
    // A long match (a copy of 20,000 random bytes) whose middle positions the
    // finder leaves out of its tables: a later repeat of that middle is still
    // found at the first copy, and one of its end as well.
    const Bytes a = randomBytes(20000, 91);
    const Bytes gap = randomBytes(3000, 92);
    const Bytes middle(a.begin() + 9000, a.begin() + 11000);
    const Bytes tail(a.end() - 2000, a.end());
    const Bytes src = concat({a, a, gap, middle, gap, tail});
    const Bytes stream = encode(src);
    ASSERT_EQ(decode(stream, src.size()), src);
    // The first copy and two gaps as literals (about 26,000 bytes), the rest nearly free.
    EXPECT_LT(stream.size(), 26000u + 700u);

    // Matches longer than a triple carries, at several distances, back to back.
    Bytes chain = randomBytes(5000, 93);
    for (int i = 0; i < 6; ++i)
        chain.insert(chain.end(), chain.begin() + i * 700, chain.begin() + i * 700 + 4000);
    ASSERT_EQ(decode(encode(chain), chain.size()), chain);
    EXPECT_LT(encode(chain).size(), 5000u + 400u);
}

TEST(LzfseEncoderParse, SameBytesWhateverWasEncodedBeforeAndOnWhichThread)
{
    // The finder's tables live on per thread and are reused: nothing of an
    // earlier input may leak into the next stream.
    const Bytes& json = corpusFile("json-log.bin");
    const std::vector<Bytes> inputs = {Bytes(json.begin(), json.begin() + kChunk), text(kChunk), deBruijn(16, 4),
                                       randomBytes(kChunk, 3, 4), Bytes(json.begin() + 1000000, json.begin() + 1700000)};
    std::vector<Bytes> first;
    for (const Bytes& src : inputs)
        first.push_back(encode(src, src.size() + 64));
    for (std::size_t i = inputs.size(); i-- != 0;)
        EXPECT_EQ(encode(inputs[i], inputs[i].size() + 64), first[i]) << i;
    std::vector<Bytes> elsewhere(inputs.size());
    std::thread other([&] {
        for (std::size_t i = inputs.size(); i-- != 0;)
            elsewhere[i] = encode(inputs[i], inputs[i].size() + 64);
    });
    other.join();
    for (std::size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(elsewhere[i], first[i]) << i;
}

TEST(LzfseEncoder, BeatsTheCommonEncoderOnItsOwnVectors)
{
    // Sizes the common encoder reached on the same inputs (vectors' MANIFEST.tsv);
    // for multiblock-text-1m, on that text before one word of it was reworded.
    const std::pair<const char*, std::size_t> vectors[] = {
        {"chunk64k-app-bundle", 37422}, {"chunk64k-elf-sharedlib", 23772}, {"chunk64k-json-log", 11025},
        {"chunk64k-sqlite-db", 21940},  {"chunk64k-text-headers", 13883},  {"chunk64k-text-japanese", 18206},
        {"text-16384", 4375},           {"multiblock-text-1m", 227876},
    };
    for (const auto& [name, reference] : vectors) {
        const Bytes raw = kelvane::test::readRawFile(kelvane::test::testDataDir() / "lzfse/vectors" / (std::string(name) + ".raw"));
        const Bytes stream = encode(raw, raw.size() + 64);
        EXPECT_EQ(decode(stream, raw.size()), raw) << name;
        EXPECT_LE(stream.size(), reference) << name;
    }
}

}  // namespace
}  // namespace kelvane::codec::test
