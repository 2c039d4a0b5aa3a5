// SPDX-License-Identifier: MIT
#pragma once

// The texts and facts of an enumeration's cases kept as one constant table, a
// row per case, so that a case's texts stand side by side and every one of
// them is read one way:
//     struct RatingTexts { Rating value; std::string_view label; std::string_view symbol; };
//     constexpr std::array ratingTexts{RatingTexts{Rating::excellent, "強", "◎"}, ...};
//     static_assert(rowsFollowCases(ratingTexts, allRatings));
//     std::string_view label(Rating r) { return caseValue(ratingTexts, r, &RatingTexts::label, "不明"); }
// rowsFollowCases proves at compile time that the table has a row for every
// case, in the enumeration's order; a case added without its texts does not
// compile.

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>

namespace kelvane::platform {

template <class Row, std::size_t N, class Enum, std::size_t M>
constexpr bool rowsFollowCases(const std::array<Row, N>& rows, const std::array<Enum, M>& cases)
{
    if (N != M)
        return false;
    for (std::size_t i = 0; i < N; ++i)
        if (rows[i].value != cases[i])
            return false;
    return true;
}

// A column of a case's row, or the fallback for a value that is no case.
template <class Row, std::size_t N, class Enum, class T>
constexpr T caseValue(const std::array<Row, N>& rows, Enum value, T Row::*column, std::type_identity_t<T> fallback)
{
    for (const Row& row : rows)
        if (row.value == value)
            return row.*column;
    return fallback;
}

}  // namespace kelvane::platform
