// SPDX-License-Identifier: MIT
#include "previous/PreviousLzfseEncoder.h"

#include "codec/BitWriter.h"
#include "codec/FseEncoder.h"
#include "codec/LittleEndian.h"
#include "codec/LzfseBlockHeader.h"
#include "codec/LzvnEncoder.h"
#include "previous/PreviousMatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

namespace kelvane::codec::previous {

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

unsigned lSymbol(std::uint32_t v)
{
    if (v < 16) return v;
    if (v < 20) return 16;
    if (v < 28) return 17;
    return v < 60 ? 18 : 19;
}

unsigned mSymbol(std::uint32_t v)
{
    if (v < 16) return v;
    if (v < 24) return 16;
    if (v < 56) return 17;
    return v < 312 ? 18 : 19;
}

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

// Per-block scratch, kept across blocks to avoid reallocating.
struct BlockScratch {
    std::vector<std::uint8_t> literals;
    std::vector<std::uint32_t> codedDistance;
};

// Writes one `bvx2` block for `triples`, whose literals start at `src`.
// Returns its size, or 0 when it does not fit `dst`.
std::size_t encodeBlock(std::span<const Triple> triples, const std::uint8_t* src, const std::uint8_t* srcEnd,
                        std::span<std::uint8_t> dst, BlockScratch& scratch)
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
    scratch.codedDistance.resize(triples.size());
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
        scratch.codedDistance[i] = coded;
        ++lCount[lSymbol(t.literals)];
        ++mCount[mSymbol(t.match)];
        ++dCount[dSymbol(coded)];
    }
    for (std::size_t i = 0; i < literalTotal; ++i)
        ++litCount[scratch.literals[i]];
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

    normalizeFseFrequencies(lCount, kFseLStates, h.lFreq);
    normalizeFseFrequencies(mCount, kFseMStates, h.mFreq);
    normalizeFseFrequencies(dCount, kFseDStates, h.dFreq);
    normalizeFseFrequencies(litCount, kFseLiteralStates, h.literalFreq);

    const std::size_t headerBytes = h.v2Size();
    if (dst.size() < headerBytes)
        return 0;
    // Incompressible input ends here instead of after a full encoding: the
    // literals alone, at the table's ideal cost, already overflow.
    if (headerBytes + fseCodedBits(litCount, h.literalFreq, kFseLiteralStates) / 8 > static_cast<double>(dst.size()))
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
        const std::uint32_t d = scratch.codedDistance[i];
        const unsigned ds = dSymbol(d), ms = mSymbol(t.match), ls = lSymbol(t.literals);
        putValue(dCoder, dState, ds, d - kLzfseDBaseValues[ds], kLzfseDExtraBits[ds]);
        putValue(mCoder, mState, ms, t.match - kLzfseMBaseValues[ms], kLzfseMExtraBits[ms]);
        putValue(lCoder, lState, ls, t.literals - kLzfseLBaseValues[ls], kLzfseLExtraBits[ls]);
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
    MatchFinder::Options o;
    o.maxDistance = kLzfseMaxD;
    // Measured with bench/codec_bench (corpus in 64 KiB chunks; speed as a
    // multiple of zlib-6's): depth 16, lazy below 32 bytes: 0.3632 at 1.9x;
    // depth 10, lazy below 16: 0.3658 at 2.4x; depth 8, lazy below 16:
    // 0.3666 at 2.5x; depth 8, lazy below 8: 0.3678 at 2.4-2.7x. Three-byte
    // matches made it worse (0.3673): their triple costs what they save.
    // Once the look one byte on wants only matches at least as long, lazy
    // below 32 costs about 3% instead of 6% and gives 0.3652.
    // Looking two bytes on as well, for matches below 8 bytes: 0.3644 for
    // about 4% of the speed (depth 10 instead gave 0.3645 for 5%). Left off:
    // with it the encoder measured 2.18-2.49x zlib-6 in four runs pinned to
    // one core (0.3641), without it 2.45-2.60x (0.3649), and the floor of
    // 2.33x matters more than 0.0008 of ratio.
    o.searchDepth = 8;
    o.lazyLength = 32;
    o.lazyTwoLength = 0;
    o.niceLength = 128;
    // Rough bit prices of a triple's symbols; tried against the corpus, the
    // parse moves little around these values (a repeat at 4 bits instead of
    // 9 saved 0.1%).
    o.costs.literal = 6 * 16;
    // A match at 9 bits instead of 8: 0.3644 -> 0.3641, once the parse also
    // looks two bytes on (literal, repeat and distance prices stayed best).
    o.costs.match = 9 * 16;
    o.costs.repeatMatch = 4 * 16;
    o.costs.perDistanceBit = 16;
    return o;
}

// `bvx2` blocks and the end marker, or 0 when they do not fit `dst`.
std::size_t encodeCompressed(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst)
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
                                                    src.data() + src.size(), dst.subspan(out), ws.scratch);
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
        const std::size_t rawSize = src.size() + kRawBlockOverhead + kEndOfStreamBytes;
        written = encodeCompressed(src, dst.first(std::min(dst.size(), rawSize - 1)));
    } else if (src.size() >= kMinLzvnInput) {
        written = encodeLzvn(src, dst);
    }
    return written != 0 ? written : encodeRaw(src, dst);
}

}  // namespace kelvane::codec::previous
