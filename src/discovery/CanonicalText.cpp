// SPDX-License-Identifier: MIT
#include "discovery/CanonicalText.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace kelvane::discovery {
namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

const icu::Normalizer2& nfd() {
    static const icu::Normalizer2* const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* normalizer = icu::Normalizer2::getNFDInstance(status);
        if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU NFD data: ") + u_errorName(status));
        return normalizer;
    }();
    return *instance;
}

// The code point of the well-formed character at `at` and its length in
// bytes; length 0 for a byte that begins none (overlong forms, surrogates,
// values above U+10FFFF, cut sequences). Such a byte stands for itself.
std::pair<UChar32, std::size_t> characterAt(std::string_view s, std::size_t at) {
    auto next = static_cast<std::int32_t>(at);
    UChar32 c = 0;
    U8_NEXT(s.data(), next, static_cast<std::int32_t>(s.size()), c);
    return {c, c < 0 ? 0 : static_cast<std::size_t>(next) - at};
}

// Appends the decomposition of a run of well-formed UTF-8.
void appendDecomposed(std::string_view run, std::string& out) {
    if (run.empty()) return;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(run.data(), static_cast<std::int32_t>(run.size())));
    const icu::UnicodeString result = nfd().normalize(source, status);
    if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU NFD: ") + u_errorName(status));
    result.toUTF8String(out);
}

}  // namespace

std::string CanonicalText::decomposed(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 2);
    // Well-formed runs are decomposed; every other byte is kept between them
    // as a starter of its own, so marks are never reordered across it.
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        if (const std::size_t length = characterAt(utf8, i).second; length > 0) {
            i += length;
            continue;
        }
        appendDecomposed(utf8.substr(runStart, i - runStart), out);
        out.push_back(utf8[i]);
        runStart = ++i;
    }
    appendDecomposed(utf8.substr(runStart), out);
    return out;
}

bool CanonicalText::equal(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (isAscii(a) && isAscii(b)) return false;
    return decomposed(a) == decomposed(b);
}

bool CanonicalText::hasPrefix(std::string_view text, std::string_view prefix) {
    if (text.starts_with(prefix) && isAscii(prefix) && isAscii(text)) return true;
    const std::string t = decomposed(text);
    const std::string p = decomposed(prefix);
    if (!t.starts_with(p)) return false;
    if (p.size() == t.size() || p.empty() || p.back() == '/') return true;
    // The prefix must end between two whole characters of the text, and a
    // combining mark right after it would belong to its last character.
    std::size_t at = 0;
    while (at < p.size()) at += std::max<std::size_t>(characterAt(t, at).second, 1);
    if (at != p.size()) return false;
    const auto [c, length] = characterAt(t, at);
    return length == 0 || u_getCombiningClass(c) == 0;
}

}  // namespace kelvane::discovery
