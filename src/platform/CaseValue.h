// SPDX-License-Identifier: MIT
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace kelvane::platform {

// The one shape of a value that is one of several cases (failures have
// TypedFailure). `Cases` declares the cases as small structs named after them
// and `using Case = std::variant<...>` over them; a type is then
//     class X : public CaseValue<XCases> { using CaseValue::CaseValue; };
// and its cases are reached as X::caseName, the one held by value() or as<C>().
template <class Cases>
class CaseValue : public Cases {
public:
    using Case = typename Cases::Case;

    template <typename C>
        requires std::is_constructible_v<Case, C>
    CaseValue(C value) : value_(std::move(value)) {}

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const CaseValue& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::platform
