// SPDX-License-Identifier: MIT
#include "codec/LzfseEncoder.h"

#include "codec/BitWriter.h"
#include "codec/FseEncoder.h"
#include "codec/LittleEndian.h"
#include "codec/LzfseBlockHeader.h"
#include "codec/LzvnEncoder.h"
#include "codec/MatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

namespace kelvane::codec {

namespace {

constexpr std::size_t kRawBlockOverhead = 8;  // magic + byte count
constexpr std::size_t kLzvnBlockOverhead = 12;
constexpr std::size_t kEndOfStreamBytes = 4;
constexpr std::size_t kMinLzvnInput = 8;
constexpr std::size_t kMinLzfseInput = 4096;
constexpr std::size_t kLmdPayloadLead = 8;  // zero bytes before the L/M/D bit stream

// Long inputs are parsed and coded a segment at a time, which bounds the
// memory the parse takes; matches never cross a segment.
constexpr std::size_t kParseSegment = std::size_t{4} << 20;

// One L/M/D triple as the block coder sees it: `distance` is the real
// distance (0 when the triple has no match); the repeat code is chosen per block.
struct Triple {
    std::uint32_t literals;
    std::uint32_t match;
    std::uint32_t distance;
};

// The symbol of every L and M value, by lookup: the chains of comparisons
// they replace mispredicted on mixed lengths.
template <std::size_t N>
constexpr std::array<std::uint8_t, N> symbolsOf(const std::array<std::uint32_t, 20>& base)
{
    std::array<std::uint8_t, N> table{};
    std::uint8_t symbol = 0;
    for (std::size_t v = 0; v < N; ++v) {
        while (std::size_t{symbol} + 1 < base.size() && base[symbol + 1u] <= v)
            ++symbol;
        table[v] = symbol;
    }
    return table;
}
constexpr auto kLSymbols = symbolsOf<kLzfseMaxL + 1>(kLzfseLBaseValues);
constexpr auto kMSymbols = symbolsOf<kLzfseMaxM + 1>(kLzfseMBaseValues);

// Distances come in groups of four symbols sharing a count of extra bits e,
// the group starting at 4 * 2^e - 4.
unsigned dSymbol(std::uint32_t v)
{
    const unsigned e = static_cast<unsigned>(std::bit_width(v + 4)) - 3;
    return 4 * e + ((v + 4) >> e) - 4;
}

// Splits the parse into triples the format can carry.
void appendTriples(const LzParse& parse, std::vector<Triple>& out)
{
    auto literalsOnly = [&](std::uint32_t& count) {
        while (count > kLzfseMaxL) {
            out.push_back({kLzfseMaxL, 0, 0});
            count -= kLzfseMaxL;
        }
    };
    for (const LzSequence& seq : parse.sequences) {
        std::uint32_t literals = seq.literalCount;
        literalsOnly(literals);
        std::uint32_t length = seq.matchLength;
        while (length > 0) {
            const std::uint32_t m = std::min(length, kLzfseMaxM);
            out.push_back({literals, m, seq.distance});
            literals = 0;
            length -= m;
        }
    }
    std::uint32_t trailing = parse.trailingLiterals;
    literalsOnly(trailing);
    if (trailing != 0)
        out.push_back({trailing, 0, 0});
}

// A triple as it is coded: its symbols and the distance code.
struct CodedTriple {
    std::uint32_t distance;
    std::uint8_t l, m, d;
};

// Per-block scratch, kept across blocks to avoid reallocating.
struct BlockScratch {
    std::vector<std::uint8_t> literals;
    std::vector<CodedTriple> coded;
};

// Writes one `bvx2` block for `triples`, whose literals start at `src`.
// Returns its size, or 0 when it is not worth `room` bytes or does not fit
// `dst` (at most `room` bytes): the first decides the block, the second only
// whether the caller can use it.
std::size_t encodeBlock(std::span<const Triple> triples, const std::uint8_t* src, const std::uint8_t* srcEnd,
                        std::span<std::uint8_t> dst, std::size_t room, BlockScratch& scratch)
{
    LzfseBlockHeader h;
    std::array<std::uint32_t, kFseLSymbols> lCount{};
    std::array<std::uint32_t, kFseMSymbols> mCount{};
    std::array<std::uint32_t, kFseDSymbols> dCount{};
    std::array<std::uint32_t, kFseLiteralSymbols> litCount{};

    // Gather the literals and pick each triple's distance code: 0 repeats the
    // previous distance, which the decoder forgets at every block.
    std::size_t literalTotal = 0;
    for (const Triple& t : triples)
        literalTotal += t.literals;
    // Room for padding to four and for the wide copies below.
    scratch.literals.resize(literalTotal + 16);
    scratch.coded.resize(triples.size());
    std::uint8_t* lit = scratch.literals.data();
    std::uint64_t rawBytes = 0;
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < triples.size(); ++i) {
        const Triple& t = triples[i];
        // Most literal runs are short: one wide copy instead of a call.
        if (t.literals <= 16 && srcEnd - src >= 16)
            std::memcpy(lit, src, 16);
        else
            std::memcpy(lit, src, t.literals);
        lit += t.literals;
        src += t.literals + t.match;
        rawBytes += t.literals + t.match;
        std::uint32_t coded;
        if (t.match == 0)
            coded = i == 0 ? 1 : 0;  // nothing is copied; 1 is valid once a literal is out
        else
            coded = (i != 0 && t.distance == previous) ? 0 : t.distance;
        if (coded != 0)
            previous = coded;
        const CodedTriple c{coded, kLSymbols[t.literals], kMSymbols[t.match], static_cast<std::uint8_t>(dSymbol(coded))};
        scratch.coded[i] = c;
        ++lCount[c.l];
        ++mCount[c.m];
        ++dCount[c.d];
    }
    // Four partial counts: consecutive equal literals would otherwise wait
    // on each other's increment.
    std::array<std::array<std::uint32_t, kFseLiteralSymbols>, 4> partial{};
    const std::uint8_t* const lits = scratch.literals.data();
    std::size_t n = 0;
    for (; n + 4 <= literalTotal; n += 4) {
        ++partial[0][lits[n]];
        ++partial[1][lits[n + 1]];
        ++partial[2][lits[n + 2]];
        ++partial[3][lits[n + 3]];
    }
    for (; n < literalTotal; ++n)
        ++partial[0][lits[n]];
    for (int s = 0; s < kFseLiteralSymbols; ++s)
        litCount[s] = partial[0][s] + partial[1][s] + partial[2][s] + partial[3][s];
    // Four interleaved literal states: pad to a multiple of four with the
    // cheapest symbol; the decoder produces the padding but never uses it.
    std::size_t literalCount = literalTotal;
    if (literalCount % 4 != 0) {
        const auto pad = static_cast<std::uint8_t>(std::max_element(litCount.begin(), litCount.end()) - litCount.begin());
        for (; literalCount % 4 != 0; ++literalCount) {
            scratch.literals[literalCount] = pad;
            ++litCount[pad];
        }
    }

    // Each table with the cost model that fits its bits best on the corpus
    // (figures in docs/performance.md).
    normalizeFseFrequencies(lCount, kFseLStates, h.lFreq);
    normalizeFseFrequencies(mCount, kFseMStates, h.mFreq);
    normalizeFseFrequencies(dCount, kFseDStates, h.dFreq, FseCostModel::evenStates);
    normalizeFseFrequencies(litCount, kFseLiteralStates, h.literalFreq, FseCostModel::evenStates);

    const std::size_t headerBytes = h.v2Size();
    if (dst.size() < headerBytes)
        return 0;
    // Incompressible input ends here instead of after a full encoding: the
    // literals alone, at the table's ideal cost, already overflow.
    if (headerBytes + fseCodedBits(litCount, h.literalFreq, kFseLiteralStates) / 8 > static_cast<double>(room))
        return 0;
    std::uint8_t* const begin = dst.data();
    std::uint8_t* const end = begin + dst.size();

    // Literals, written last to first so that they decode first to last.
    FseEncoder literalCoder;
    literalCoder.init(h.literalFreq, kFseLiteralStates);
    BitWriter litOut(begin + headerBytes, end);
    std::uint32_t state0 = literalCoder.startState(), state1 = state0, state2 = state0, state3 = state0;
    const std::uint8_t* literals = scratch.literals.data();
    auto put = [&](std::uint32_t& state, std::uint8_t symbol) {
        const FseEncoder::Step s = literalCoder.encode(state, symbol);
        litOut.push(s.bits, s.count);
    };
    for (std::size_t i = literalCount; i != 0; i -= 4) {
        put(state3, literals[i - 1]);
        put(state2, literals[i - 2]);
        put(state1, literals[i - 3]);
        put(state0, literals[i - 4]);
        litOut.flush();
    }
    h.literalFinalBits = litOut.finish();
    if (litOut.overflowed())
        return 0;
    const auto literalState = [&](std::uint32_t s) { return static_cast<std::uint16_t>(literalCoder.decoderState(s)); };
    h.literalStates = {literalState(state0), literalState(state1), literalState(state2), literalState(state3)};
    h.literalCount = static_cast<std::uint32_t>(literalCount);
    h.literalPayloadBytes = static_cast<std::uint32_t>(litOut.size());

    // L/M/D triples, last to first; per triple the decoder reads L, M, then D.
    FseEncoder lCoder, mCoder, dCoder;
    lCoder.init(h.lFreq, kFseLStates);
    mCoder.init(h.mFreq, kFseMStates);
    dCoder.init(h.dFreq, kFseDStates);
    std::uint8_t* const lmdBegin = begin + headerBytes + h.literalPayloadBytes;
    BitWriter lmdOut(lmdBegin, end);
    lmdOut.push(0, 32);
    lmdOut.push(0, 32);
    lmdOut.flush();
    std::uint32_t lState = lCoder.startState(), mState = mCoder.startState(), dState = dCoder.startState();
    auto putValue = [&](FseEncoder& coder, std::uint32_t& st, unsigned symbol, std::uint32_t extra, unsigned extraBits) {
        const FseEncoder::Step s = coder.encode(st, symbol);
        lmdOut.push((std::uint64_t{s.bits} << extraBits) | extra, s.count + extraBits);
    };
    for (std::size_t i = triples.size(); i-- != 0;) {
        const Triple& t = triples[i];
        const CodedTriple c = scratch.coded[i];
        putValue(dCoder, dState, c.d, c.distance - kLzfseDBaseValues[c.d], kLzfseDExtraBits[c.d]);
        putValue(mCoder, mState, c.m, t.match - kLzfseMBaseValues[c.m], kLzfseMExtraBits[c.m]);
        putValue(lCoder, lState, c.l, t.literals - kLzfseLBaseValues[c.l], kLzfseLExtraBits[c.l]);
        lmdOut.flush();
    }
    h.lmdFinalBits = lmdOut.finish();
    if (lmdOut.overflowed())
        return 0;
    h.lmdPayloadBytes = static_cast<std::uint32_t>(lmdOut.size());
    h.lState = static_cast<std::uint16_t>(lCoder.decoderState(lState));
    h.mState = static_cast<std::uint16_t>(mCoder.decoderState(mState));
    h.dState = static_cast<std::uint16_t>(dCoder.decoderState(dState));
    h.matchCount = static_cast<std::uint32_t>(triples.size());
    h.rawBytes = static_cast<std::uint32_t>(rawBytes);

    if (writeLzfseBlockHeaderV2(h, dst) != headerBytes)
        return 0;
    return headerBytes + h.literalPayloadBytes + h.lmdPayloadBytes;
}

MatchFinder::Options finderOptions()
{
    // What each setting was measured at, and the alternatives tried: the
    // codec section of docs/performance.md.
    MatchFinder::Options o;
    o.maxDistance = kLzfseMaxD;
    // Depth buys ratio at a steady price in time (each link is a dependent
    // load); the three-byte table below wins more per unit of time.
    o.searchDepth = 12;
    // Looking one byte on pays for short matches; two bytes on costs more
    // speed than the ratio it wins.
    o.lazyLength = 32;
    o.lazyTwoLength = 0;
    // With 16 bytes in hand the look one byte on seldom finds better, so it
    // follows half the links.
    o.goodLength = 16;
    o.goodDepth = 8;
    // The middles of long matches stay out of the tables: fewer
    // instructions, next to no ratio.
    o.chartedEnds = 24;
    // Three-byte matches only close by: further back their distance costs
    // what they save.
    o.shortReach = 255;
    // Two bytes at the previous distance code no distance, so their triple
    // costs less than two literals more often than not.
    o.minRepeatMatch = 2;
    // Shorter stop lengths only cost ratio.
    o.niceLength = 128;
    // Rough bit prices of a triple's symbols; the parse moves little around
    // these values.
    o.costs.literal = 6 * 16;
    o.costs.match = 9 * 16;
    o.costs.repeatMatch = 4 * 16;
    o.costs.perDistanceBit = 16;
    return o;
}

// `bvx2` blocks and the end marker, or 0 when they are not worth `room`
// bytes or do not fit `dst` (at most `room` bytes).
std::size_t encodeCompressed(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst, std::size_t room)
{
    // Kept per thread: allocating the tables afresh for every 64 KiB chunk
    // (page faults, clearing) cost about 7% of the encode time.
    struct Workspace {
        MatchFinder finder{finderOptions()};
        LzParse parse;
        std::vector<Triple> triples;
        BlockScratch scratch;
    };
    static thread_local Workspace ws;
    std::vector<Triple>& triples = ws.triples;
    std::size_t out = 0;
    for (std::size_t at = 0; at < src.size(); at += kParseSegment) {
        const auto segment = src.subspan(at, std::min(kParseSegment, src.size() - at));
        ws.finder.parse(segment, ws.parse);
        triples.clear();
        appendTriples(ws.parse, triples);

        const std::uint8_t* blockSrc = segment.data();
        std::size_t first = 0;
        while (first < triples.size()) {
            std::size_t last = first;
            std::uint32_t literals = 0;
            std::size_t bytes = 0;
            while (last < triples.size() && last - first < kLzfseMaxMatchesPerBlock &&
                   literals + triples[last].literals <= kLzfseMaxLiteralsPerBlock) {
                literals += triples[last].literals;
                bytes += triples[last].literals + triples[last].match;
                ++last;
            }
            const std::size_t written = encodeBlock(std::span(triples).subspan(first, last - first), blockSrc,
                                                    src.data() + src.size(), dst.subspan(out), room - out, ws.scratch);
            if (written == 0)
                return 0;
            out += written;
            blockSrc += bytes;
            first = last;
        }
    }
    if (dst.size() - out < kEndOfStreamBytes)
        return 0;
    le::store32(dst.data() + out, kMagicEndOfStream);
    return out + kEndOfStreamBytes;
}

std::size_t encodeRaw(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst)
{
    const std::size_t size = src.size() + kRawBlockOverhead + kEndOfStreamBytes;
    if (src.size() > std::numeric_limits<std::uint32_t>::max() || dst.size() < size)
        return 0;
    std::uint8_t* p = dst.data();
    le::store32(p, kMagicRaw);
    le::store32(p + 4, static_cast<std::uint32_t>(src.size()));
    if (!src.empty())
        std::memcpy(p + kRawBlockOverhead, src.data(), src.size());
    le::store32(p + kRawBlockOverhead + src.size(), kMagicEndOfStream);
    return size;
}

// One `bvxn` block when its payload is smaller than the input.
std::size_t encodeLzvn(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst)
{
    if (dst.size() < kLzvnBlockOverhead + kEndOfStreamBytes)
        return 0;
    const std::size_t room = std::min(dst.size() - kLzvnBlockOverhead - kEndOfStreamBytes, src.size() - 1);
    const std::size_t payload = lzvnEncode(src, dst.subspan(kLzvnBlockOverhead, room));
    if (payload == 0)
        return 0;
    std::uint8_t* p = dst.data();
    le::store32(p, kMagicLzvn);
    le::store32(p + 4, static_cast<std::uint32_t>(src.size()));
    le::store32(p + 8, static_cast<std::uint32_t>(payload));
    le::store32(p + kLzvnBlockOverhead + payload, kMagicEndOfStream);
    return kLzvnBlockOverhead + payload + kEndOfStreamBytes;
}

}  // namespace

std::size_t lzfseEncode(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst)
{
    std::size_t written = 0;
    if (src.size() >= kMinLzfseInput) {
        // A compressed stream no smaller than the raw one would only cost decode time.
        // An LZVN block is never the smaller one here: tried on every 64 KiB
        // chunk of the corpus, none came out below its LZFSE block, not even
        // the nearly empty ones whose frequency tables are a quarter of the
        // block (block headers are 0.8% of the corpus's compressed bytes).
        // The blocks are chosen against the raw stream, never against `dst`,
        // so that the stream is the same whatever room the caller gives.
        const std::size_t rawSize = src.size() + kRawBlockOverhead + kEndOfStreamBytes;
        written = encodeCompressed(src, dst.first(std::min(dst.size(), rawSize - 1)), rawSize - 1);
    } else if (src.size() >= kMinLzvnInput) {
        written = encodeLzvn(src, dst);
    }
    return written != 0 ? written : encodeRaw(src, dst);
}

}  // namespace kelvane::codec
