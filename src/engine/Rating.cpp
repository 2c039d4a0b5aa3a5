// SPDX-License-Identifier: MIT
#include "engine/Rating.h"

#include "platform/CaseTexts.h"

namespace kelvane::engine {
namespace {

struct RatingTexts {
    Rating value;
    std::string_view raw;
    std::string_view label;
    std::string_view symbol;
};
constexpr std::array ratingTexts{
    RatingTexts{Rating::excellent, "excellent", "強", "◎"},
    RatingTexts{Rating::good, "good", "中", "○"},
    RatingTexts{Rating::marginal, "marginal", "弱", "△"},
    RatingTexts{Rating::unsuitable, "unsuitable", "なし", "×"},
    RatingTexts{Rating::unknown, "unknown", "不明", "?"},
};
static_assert(platform::rowsFollowCases(ratingTexts, allRatings));

}  // namespace


std::string_view rawValue(Rating rating)
{
    return platform::caseValue(ratingTexts, rating, &RatingTexts::raw, "unknown");
}

std::optional<Rating> ratingFromRaw(std::string_view raw)
{
    for (Rating rating : allRatings) {
        if (rawValue(rating) == raw)
            return rating;
    }
    return std::nullopt;
}

std::string_view label(Rating rating)
{
    return platform::caseValue(ratingTexts, rating, &RatingTexts::label, "不明");
}

std::string_view symbol(Rating rating)
{
    return platform::caseValue(ratingTexts, rating, &RatingTexts::symbol, "?");
}

}  // namespace kelvane::engine
