// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kelvane::operations {

// The kind filter of the main table.
enum class KindFilter { all, file, folder };

inline constexpr std::array<KindFilter, 3> allKindFilters{KindFilter::all, KindFilter::file, KindFilter::folder};

std::string_view rawValue(KindFilter filter);
std::string_view label(KindFilter filter);
std::optional<KindFilter> kindFilterFromRaw(std::string_view raw);

}  // namespace kelvane::operations
