// SPDX-License-Identifier: MIT
// The three filter enumerations of the main table share one table-driven
// implementation.
#include "operations/rows/CompressionStatusFilter.h"
#include "operations/rows/KindFilter.h"
#include "operations/rows/SizeRangeFilter.h"

namespace kelvane::operations {

namespace {

template <class E, std::size_t N>
struct FilterTable {
    std::array<E, N> cases;
    std::array<std::string_view, N> raw;
    std::array<std::string_view, N> labels;

    std::string_view rawOf(E e) const { return raw[static_cast<std::size_t>(e)]; }
    std::string_view labelOf(E e) const { return labels[static_cast<std::size_t>(e)]; }
    std::optional<E> fromRaw(std::string_view text) const
    {
        for (std::size_t i = 0; i < N; ++i)
            if (raw[i] == text)
                return cases[i];
        return std::nullopt;
    }
};

constexpr FilterTable<CompressionStatusFilter, 4> statusTable{
    allCompressionStatusFilters,
    {"all", "compressed", "uncompressed", "error"},
    {"全て", "圧縮済み", "未圧縮", "エラー"}};

constexpr FilterTable<SizeRangeFilter, 5> sizeTable{
    allSizeRangeFilters,
    {"all", "small", "medium", "large", "huge"},
    {"全て", "< 1 MB", "1〜10 MB", "10〜100 MB", "> 100 MB"}};

constexpr FilterTable<KindFilter, 3> kindTable{
    allKindFilters, {"all", "file", "folder"}, {"全て", "ファイル", "フォルダ"}};

}  // namespace

std::string_view rawValue(CompressionStatusFilter f) { return statusTable.rawOf(f); }
std::string_view label(CompressionStatusFilter f) { return statusTable.labelOf(f); }
std::optional<CompressionStatusFilter> compressionStatusFilterFromRaw(std::string_view raw)
{
    return statusTable.fromRaw(raw);
}

std::string_view rawValue(SizeRangeFilter f) { return sizeTable.rawOf(f); }
std::string_view label(SizeRangeFilter f) { return sizeTable.labelOf(f); }
std::optional<SizeRangeFilter> sizeRangeFilterFromRaw(std::string_view raw) { return sizeTable.fromRaw(raw); }

bool matches(SizeRangeFilter filter, std::uint64_t bytes)
{
    switch (filter) {
        case SizeRangeFilter::all: return true;
        case SizeRangeFilter::small: return bytes < 1000000u;
        case SizeRangeFilter::medium: return bytes >= 1000000u && bytes < 10000000u;
        case SizeRangeFilter::large: return bytes >= 10000000u && bytes < 100000000u;
        case SizeRangeFilter::huge: return bytes >= 100000000u;
    }
    return false;
}

std::string_view rawValue(KindFilter f) { return kindTable.rawOf(f); }
std::string_view label(KindFilter f) { return kindTable.labelOf(f); }
std::optional<KindFilter> kindFilterFromRaw(std::string_view raw) { return kindTable.fromRaw(raw); }

}  // namespace kelvane::operations
