// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kelvane::engine {

// How well files of a category are expected to compress.
enum class Rating { excellent, good, marginal, unsuitable, unknown };

inline constexpr std::array<Rating, 5> allRatings{Rating::excellent, Rating::good, Rating::marginal,
                                                  Rating::unsuitable, Rating::unknown};

// "excellent", "good", ...; ratingFromRaw matches exactly, case-sensitively.
std::string_view rawValue(Rating rating);
std::optional<Rating> ratingFromRaw(std::string_view raw);

std::string_view label(Rating rating);   // "強", "中", "弱", "なし", "不明"
std::string_view symbol(Rating rating);  // "◎", "○", "△", "×", "?"

}  // namespace kelvane::engine
