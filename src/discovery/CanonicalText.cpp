#include "discovery/CanonicalText.h"

#include "discovery/UnicodeCanonicalData.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kelvane::discovery {
namespace {

// Invalid UTF-8 bytes travel as code points above the Unicode range so that
// they round-trip unchanged and never meet a real character.
constexpr char32_t kRawByteBase = 0x110000;

constexpr char32_t kHangulFirst = 0xAC00;
constexpr char32_t kHangulLast = 0xD7A3;
constexpr char32_t kLeadFirst = 0x1100;
constexpr char32_t kVowelFirst = 0x1161;
constexpr char32_t kTrailFirst = 0x11A7;
constexpr int kVowelCount = 21;
constexpr int kTrailCount = 28;

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Decodes one code point at `i`, advancing `i`; rejects overlong forms,
// surrogates and values above U+10FFFF.
char32_t decodeOne(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; minimum = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; minimum = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; minimum = 0x10000; }
    else { ++i; return kRawByteBase + b0; }
    if (i + static_cast<std::size_t>(extra) >= s.size()) { ++i; return kRawByteBase + b0; }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) { ++i; return kRawByteBase + b0; }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return kRawByteBase + b0; }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

void encodeOne(char32_t cp, std::string& out) {
    if (cp >= kRawByteBase) {
        out.push_back(static_cast<char>(cp - kRawByteBase));
    } else if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::uint8_t combiningClass(char32_t cp) {
    const auto& table = unicode_data::kCombiningClasses;
    auto it = std::upper_bound(table.begin(), table.end(), cp,
                               [](char32_t value, const auto& range) { return value < range.first; });
    if (it == table.begin()) return 0;
    --it;
    return cp <= it->last ? it->combiningClass : 0;
}

void appendDecomposition(char32_t cp, std::vector<char32_t>& out) {
    if (cp >= kHangulFirst && cp <= kHangulLast) {
        const int index = static_cast<int>(cp - kHangulFirst);
        out.push_back(kLeadFirst + index / (kVowelCount * kTrailCount));
        out.push_back(kVowelFirst + (index % (kVowelCount * kTrailCount)) / kTrailCount);
        if (index % kTrailCount != 0) out.push_back(kTrailFirst + index % kTrailCount);
        return;
    }
    const auto& table = unicode_data::kDecompositions;
    auto it = std::lower_bound(table.begin(), table.end(), cp,
                               [](const auto& entry, char32_t value) { return entry.codePoint < value; });
    if (it == table.end() || it->codePoint != cp) {
        out.push_back(cp);
        return;
    }
    const auto seq = unicode_data::kDecompositionPool.subspan(it->offset, it->length);
    out.insert(out.end(), seq.begin(), seq.end());
}

std::vector<char32_t> decomposedCodePoints(std::string_view utf8) {
    std::vector<char32_t> cps;
    cps.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) appendDecomposition(decodeOne(utf8, i), cps);
    // Canonical ordering: a stable sort of every run of non-starters by class.
    for (std::size_t i = 0; i < cps.size();) {
        if (combiningClass(cps[i]) == 0) { ++i; continue; }
        std::size_t end = i;
        while (end < cps.size() && combiningClass(cps[end]) != 0) ++end;
        std::stable_sort(cps.begin() + static_cast<std::ptrdiff_t>(i), cps.begin() + static_cast<std::ptrdiff_t>(end),
                         [](char32_t a, char32_t b) { return combiningClass(a) < combiningClass(b); });
        i = end;
    }
    return cps;
}

}  // namespace

std::string CanonicalText::decomposed(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 2);
    for (char32_t cp : decomposedCodePoints(utf8)) encodeOne(cp, out);
    return out;
}

bool CanonicalText::equal(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (isAscii(a) && isAscii(b)) return false;
    return decomposedCodePoints(a) == decomposedCodePoints(b);
}

bool CanonicalText::hasPrefix(std::string_view text, std::string_view prefix) {
    if (text.starts_with(prefix) && isAscii(prefix) && isAscii(text)) return true;
    const auto t = decomposedCodePoints(text);
    const auto p = decomposedCodePoints(prefix);
    if (p.size() > t.size() || !std::equal(p.begin(), p.end(), t.begin())) return false;
    // A combining mark right after the prefix would belong to its last
    // character, unless that is a path separator.
    return p.size() == t.size() || p.empty() || p.back() == U'/' || combiningClass(t[p.size()]) == 0;
}

}  // namespace kelvane::discovery
