// SPDX-License-Identifier: MIT
#pragma once

// A variant of case structs whose callers sort its values by case keeps an
// `enum class Kind` naming the cases, and every case struct names its own
// enumerator:
//     enum class Kind { fileNotFound, hardLinked };
//     struct fileNotFound { static constexpr Kind kind = Kind::fileNotFound; Path url; };
//     struct hardLinked { static constexpr Kind kind = Kind::hardLinked; Path url; std::int64_t nlink; };
//     using Case = std::variant<fileNotFound, hardLinked>;
//     static_assert(kindsFollowCases<Case, Kind>());
// A value's kind is read from the case it holds (kindOf), never from its
// index. kindsFollowCases proves at compile time that the variant and the
// enumeration list the same cases in the same order (so a Kind's number is
// its case's index): swapping two alternatives of the variant, swapping two
// enumerators, or tagging a case with another's enumerator fails the
// static_assert. tests/platform/compile_fail/KindsOutOfOrder.cpp is such a
// swap; a test builds it and expects that failure.

#include <cstddef>
#include <type_traits>
#include <utility>
#include <variant>

namespace kelvane::platform {

template <class Case>
constexpr auto kindOf(const Case& value)
{
    return std::visit([](const auto& c) { return std::decay_t<decltype(c)>::kind; }, value);
}

template <class Case, class Kind>
consteval bool kindsFollowCases()
{
    return []<std::size_t... I>(std::index_sequence<I...>) {
        return ((std::variant_alternative_t<I, Case>::kind == static_cast<Kind>(I)) && ...);
    }(std::make_index_sequence<std::variant_size_v<Case>>{});
}

}  // namespace kelvane::platform
