// SPDX-License-Identifier: MIT
#include "engine/Rating.h"

namespace kelvane::engine {

std::string_view rawValue(Rating rating)
{
    switch (rating) {
    case Rating::excellent: return "excellent";
    case Rating::good: return "good";
    case Rating::marginal: return "marginal";
    case Rating::unsuitable: return "unsuitable";
    case Rating::unknown: return "unknown";
    }
    return "unknown";
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
    switch (rating) {
    case Rating::excellent: return "強";
    case Rating::good: return "中";
    case Rating::marginal: return "弱";
    case Rating::unsuitable: return "なし";
    case Rating::unknown: return "不明";
    }
    return "不明";
}

std::string_view symbol(Rating rating)
{
    switch (rating) {
    case Rating::excellent: return "◎";
    case Rating::good: return "○";
    case Rating::marginal: return "△";
    case Rating::unsuitable: return "×";
    case Rating::unknown: return "?";
    }
    return "?";
}

}  // namespace kelvane::engine
