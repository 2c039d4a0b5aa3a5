// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kelvane::operations {

// The status filter of the main table.
enum class CompressionStatusFilter { all, compressed, uncompressed, error };

inline constexpr std::array<CompressionStatusFilter, 4> allCompressionStatusFilters{
    CompressionStatusFilter::all, CompressionStatusFilter::compressed, CompressionStatusFilter::uncompressed,
    CompressionStatusFilter::error};

std::string_view rawValue(CompressionStatusFilter filter);
std::string_view label(CompressionStatusFilter filter);
// Exact raw value; anything else is no filter.
std::optional<CompressionStatusFilter> compressionStatusFilterFromRaw(std::string_view raw);

}  // namespace kelvane::operations
