// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane::operations {

// The size filter of the main table: decimal, half-open ranges.
enum class SizeRangeFilter { all, small, medium, large, huge };

inline constexpr std::array<SizeRangeFilter, 5> allSizeRangeFilters{
    SizeRangeFilter::all, SizeRangeFilter::small, SizeRangeFilter::medium, SizeRangeFilter::large,
    SizeRangeFilter::huge};

std::string_view rawValue(SizeRangeFilter filter);
std::string_view label(SizeRangeFilter filter);
std::optional<SizeRangeFilter> sizeRangeFilterFromRaw(std::string_view raw);

// small < 1 MB <= medium < 10 MB <= large < 100 MB <= huge (decimal bytes).
bool matches(SizeRangeFilter filter, std::uint64_t bytes);

}  // namespace kelvane::operations
