// SPDX-License-Identifier: MIT
#pragma once

#include "platform/CaseKind.h"

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

namespace kelvane::platform {

// Base of every typed failure: carries the textual form, computed once so
// that what() stays valid for the life of the exception.
class TypedError : public std::exception {
public:
    const std::string& description() const noexcept { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

protected:
    explicit TypedError(std::string text) : text_(std::move(text)) {}

private:
    std::string text_;
};

namespace detail {
struct AnyPayload {
    template <class U>
    operator U() const;
};

// The payload fields of a case struct (at most three), for comparing them.
template <class C>
auto payloadOf(const C& c)
{
    using A = AnyPayload;
    static_assert(!requires { C{A{}, A{}, A{}, A{}}; }, "a case carries at most three fields");
    if constexpr (requires { C{A{}, A{}, A{}}; }) {
        const auto& [a, b, d] = c;
        return std::tie(a, b, d);
    } else if constexpr (requires { C{A{}, A{}}; }) {
        const auto& [a, b] = c;
        return std::tie(a, b);
    } else if constexpr (requires { C{A{}}; }) {
        const auto& [a] = c;
        return std::tie(a);
    } else {
        return std::tuple<>();
    }
}
}  // namespace detail

// The one shape of a typed failure. `Cases` declares the cases as small
// aggregate structs named after them (compared field by field), `using Case =
// std::variant<...>` over them, and `static std::string describe(const C&)`
// for each case (or one describe(const Case&) for them all). A failure type is then
//     class XError : public TypedFailure<XCases> { using TypedFailure::TypedFailure; };
// and its cases are reached as XError::caseName. Cases that also declare an
// `enum class Kind` tag each case struct with its enumerator (CaseKind.h);
// the failure then has kind(), and the two lists are checked to agree.
template <class Cases>
class TypedFailure : public TypedError, public Cases {
public:
    using Case = typename Cases::Case;

    static_assert([] {
        if constexpr (requires { typename Cases::Kind; })
            return kindsFollowCases<Case, typename Cases::Kind>();
        else
            return true;
    }(), "the cases' Kind names the variant's alternatives in their order");

    TypedFailure(Case value)
        : TypedError(describeCase(value)), value_(std::move(value))
    {
    }

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }
    auto kind() const noexcept
        requires requires { typename Cases::Kind; }
    {
        return kindOf(value_);
    }

    // Same case with the same payload.
    bool operator==(const TypedFailure& other) const
    {
        return value_.index() == other.value_.index() && std::visit(
            [&](const auto& c) {
                return detail::payloadOf(c) == detail::payloadOf(std::get<std::decay_t<decltype(c)>>(other.value_));
            },
            value_);
    }

private:
    static std::string describeCase(const Case& value)
    {
        if constexpr (requires { Cases::describe(value); })
            return Cases::describe(value);
        else
            return std::visit([](const auto& c) { return Cases::describe(c); }, value);
    }

    Case value_;
};

// Helpers for the textual form "caseName(part, part, ...)": a case without
// parts is its bare name; a string payload is quoted.
std::string quotedText(std::string_view text);
std::string caseText(std::string_view name, std::initializer_list<std::string> parts = {});
// "label: value" for a count, and for a quoted string.
std::string labeled(std::string_view label, long long value);
std::string labeled(std::string_view label, const std::string& text);

}  // namespace kelvane::platform
