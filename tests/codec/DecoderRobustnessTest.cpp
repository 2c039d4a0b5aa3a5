// SPDX-License-Identifier: MIT
#include "codec/LzfseDecoder.h"
#include "codec/LzvnDecoder.h"

#include "codec/GuardedBuffer.h"
#include "codec/LzfseVectors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <string>

namespace kelvane::codec {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::GuardedBuffer;

// Replays a failing run: KELVANE_MUTATION_SEED=<printed seed>.
std::uint64_t mutationSeed()
{
    const char* env = std::getenv("KELVANE_MUTATION_SEED");
    return env ? std::strtoull(env, nullptr, 0) : 0x4b656c76616e65ull;
}

std::uint32_t le32(const Bytes& b, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// Offsets of the fields that size or shape each block: counts, payload
// sizes, the packed words of `bvx2`, the fixed part of `bvx1`.
std::vector<std::size_t> blockFieldOffsets(const Bytes& s)
{
    std::vector<std::size_t> fields;
    std::size_t pos = 0;
    while (pos + 4 <= s.size()) {
        const std::string magic(s.begin() + static_cast<std::ptrdiff_t>(pos),
                                s.begin() + static_cast<std::ptrdiff_t>(pos) + 4);
        std::size_t next = 0;
        if (magic == "bvx-" && pos + 8 <= s.size()) {
            fields.push_back(pos + 4);
            next = pos + 8 + le32(s, pos + 4);
        } else if (magic == "bvxn" && pos + 12 <= s.size()) {
            fields.insert(fields.end(), {pos + 4, pos + 8});
            next = pos + 12 + le32(s, pos + 8);
        } else if (magic == "bvx2" && pos + 32 <= s.size()) {
            for (std::size_t f = 4; f < 32; f += 2)
                fields.push_back(pos + f);
            std::uint64_t v0, v1;
            std::memcpy(&v0, s.data() + pos + 8, 8);
            std::memcpy(&v1, s.data() + pos + 16, 8);
            next = pos + le32(s, pos + 24) + ((v0 >> 20) & 0xFFFFF) + ((v1 >> 40) & 0xFFFFF);
        } else if (magic == "bvx1" && pos + 772 <= s.size()) {
            for (std::size_t f = 4; f < 50; f += 2)
                fields.push_back(pos + f);
            next = pos + 772 + le32(s, pos + 8);
        }
        if (next <= pos)
            break;
        pos = next;
    }
    return fields;
}

class Mutator {
public:
    explicit Mutator(std::uint64_t seed) : rng_(seed) {}

    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    Bytes mutate(Bytes s)
    {
        const std::size_t rounds = 1 + below(3);
        for (std::size_t r = 0; r < rounds && !s.empty(); ++r) {
            switch (below(6)) {
            case 0:
                s[below(s.size())] ^= static_cast<std::uint8_t>(1u << below(8));
                break;
            case 1:
                s[below(s.size())] = static_cast<std::uint8_t>(below(256));
                break;
            case 2:
                s.resize(below(s.size()));
                break;
            case 3: {
                const auto fields = blockFieldOffsets(s);
                if (fields.empty())
                    break;
                const std::size_t at = fields[below(fields.size())];
                if (at + 2 > s.size())
                    break;
                // Nudge a little-endian 16-bit field, or flip one of its bits.
                std::uint16_t v;
                std::memcpy(&v, s.data() + at, 2);
                v = below(2) ? static_cast<std::uint16_t>(v + below(33) - 16)
                             : static_cast<std::uint16_t>(v ^ (1u << below(16)));
                std::memcpy(s.data() + at, &v, 2);
                break;
            }
            case 4: {
                const std::size_t at = below(s.size());
                s.erase(s.begin() + static_cast<std::ptrdiff_t>(at),
                        s.begin() + static_cast<std::ptrdiff_t>(std::min(s.size(), at + 1 + below(64))));
                break;
            }
            default: {
                const std::size_t at = below(s.size());
                const std::size_t n = std::min(s.size() - at, 1 + below(64));
                const Bytes copy(s.begin() + static_cast<std::ptrdiff_t>(at),
                                 s.begin() + static_cast<std::ptrdiff_t>(at + n));
                s.insert(s.begin() + static_cast<std::ptrdiff_t>(below(s.size())), copy.begin(), copy.end());
                break;
            }
            }
        }
        return s;
    }

private:
    std::mt19937_64 rng_;
};

const char* statusName(DecodeStatus s)
{
    switch (s) {
    case DecodeStatus::ok: return "ok";
    case DecodeStatus::destinationFull: return "destinationFull";
    case DecodeStatus::malformed: return "malformed";
    }
    return "?";
}

// Decodes `input` into a destination of `capacity` bytes (after `prefix`
// bytes of history for LZVN) and checks the contract: nothing written outside,
// the count within the destination, a full destination really full. Then
// decodes again into a smaller destination, which must get the same prefix.
template <typename Decode>
void checkContract(Decode decode, const Bytes& input, std::size_t prefix, std::size_t capacity, Mutator& m,
                   std::map<std::string, int>& outcomes)
{
    GuardedBuffer big(prefix + capacity);
    for (std::size_t i = 0; i < prefix; ++i)
        big.span()[i] = static_cast<std::uint8_t>(i * 7);
    const DecodeResult r = decode(input, big.span(), prefix);
    ++outcomes[statusName(r.status)];
    ASSERT_TRUE(big.guardsIntact());
    ASSERT_LE(r.written, capacity);
    if (r.status == DecodeStatus::destinationFull) {
        ASSERT_EQ(r.written, capacity);
    }
    if (r.written == 0)
        return;

    const std::size_t smaller = m.below(r.written);
    GuardedBuffer small(prefix + smaller);
    std::memcpy(small.span().data(), big.span().data(), prefix);
    const DecodeResult s = decode(input, small.span(), prefix);
    ASSERT_TRUE(small.guardsIntact());
    ASSERT_EQ(s, (DecodeResult{DecodeStatus::destinationFull, smaller}));
    ASSERT_EQ(0, std::memcmp(small.span().data(), big.span().data(), prefix + smaller));
}

DecodeResult decodeLzfse(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst, std::size_t)
{
    return lzfseDecode(src, dst);
}

std::string summary(const std::map<std::string, int>& outcomes)
{
    std::string s;
    for (const auto& [name, count] : outcomes)
        s += " " + name + "=" + std::to_string(count);
    return s;
}

TEST(DecoderRobustness, MutatedLzfseStreamsNeverBreakTheContract)
{
    const std::uint64_t seed = mutationSeed();
    std::cout << "mutation seed " << seed << "\n";
    const auto vectors = test::loadLzfseVectors();
    Mutator m(seed);
    std::map<std::string, int> outcomes;
    constexpr int kRuns = 5000;
    for (int run = 0; run < kRuns; ++run) {
        const auto& v = vectors[m.below(vectors.size())];
        const Bytes input = m.mutate(v.stream);
        // The raw size, or room for growth when the original is rejected anyway.
        const std::size_t capacity = v.mustDecode ? v.raw.size() : 1u << 20;
        SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(run) + " from " + v.name);
        checkContract(decodeLzfse, input, 0, capacity, m, outcomes);
        if (HasFatalFailure())
            return;
    }
    std::cout << "mutated streams:" << summary(outcomes) << "\n";
    // The mutations must reach the decoder's rejections, not just its copies.
    EXPECT_GT(outcomes["malformed"], kRuns / 4);
    EXPECT_GT(outcomes["ok"] + outcomes["destinationFull"], kRuns / 20);
}

TEST(DecoderRobustness, MutatedAndRandomLzvnPayloadsNeverBreakTheContract)
{
    const std::uint64_t seed = mutationSeed() + 1;
    std::cout << "mutation seed " << seed << "\n";
    std::vector<Bytes> payloads;
    for (const auto& v : test::loadLzfseVectors())
        if (v.mustDecode && v.stream.size() > 12 && std::memcmp(v.stream.data(), "bvxn", 4) == 0)
            payloads.emplace_back(v.stream.begin() + 12, v.stream.begin() + 12 + le32(v.stream, 8));
    ASSERT_GE(payloads.size(), 4u);

    Mutator m(seed);
    std::map<std::string, int> outcomes;
    constexpr int kRuns = 3000;
    for (int run = 0; run < kRuns; ++run) {
        Bytes input;
        if (run % 4 == 3) {
            input.resize(m.below(200));  // plain noise
            for (auto& b : input)
                b = static_cast<std::uint8_t>(m.below(256));
        } else {
            input = m.mutate(payloads[m.below(payloads.size())]);
        }
        const std::size_t prefix = m.below(2) ? m.below(70000) : 0;
        const std::size_t capacity = m.below(5000);
        SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(run));
        checkContract(lzvnDecode, input, prefix, capacity, m, outcomes);
        if (HasFatalFailure())
            return;
    }
    std::cout << "mutated payloads:" << summary(outcomes) << "\n";
    EXPECT_GT(outcomes["malformed"], kRuns / 4);
    EXPECT_GT(outcomes["ok"] + outcomes["destinationFull"], kRuns / 20);
}

}  // namespace
}  // namespace kelvane::codec
