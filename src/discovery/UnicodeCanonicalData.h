#pragma once

#include <array>
#include <cstdint>
#include <span>

// Tables behind canonical equivalence, generated from the Unicode database by
// tools/generate_canonical_data.py (regenerate as its header says).
namespace kelvane::discovery::unicode_data {

// Full canonical decomposition of one code point: `length` code points at
// `offset` in kDecompositionPool. Sorted by `codePoint`; Hangul syllables are
// not listed (they decompose arithmetically).
struct Decomposition {
    char32_t codePoint;
    std::uint16_t offset;
    std::uint8_t length;
};

// Code points first...last share one non-zero canonical combining class.
// Sorted and disjoint; every code point outside them has class 0.
struct CombiningClassRange {
    char32_t first;
    char32_t last;
    std::uint8_t combiningClass;
};

extern const std::span<const char32_t> kDecompositionPool;
extern const std::span<const Decomposition> kDecompositions;
extern const std::span<const CombiningClassRange> kCombiningClasses;

}  // namespace kelvane::discovery::unicode_data
