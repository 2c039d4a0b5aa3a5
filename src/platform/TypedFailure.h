#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
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

// The one shape of a typed failure. `Cases` declares the cases as small
// structs named after them (each with a defaulted ==), `using Case =
// std::variant<...>` over them, and `static std::string describe(const C&)`
// for each case (or one describe(const Case&) for them all). A failure type is then
//     class XError : public TypedFailure<XCases> { using TypedFailure::TypedFailure; };
// and its cases are reached as XError::caseName.
template <class Cases>
class TypedFailure : public TypedError, public Cases {
public:
    using Case = typename Cases::Case;

    TypedFailure(Case value)
        : TypedError(describeCase(value)), value_(std::move(value))
    {
    }

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const TypedFailure& other) const { return value_ == other.value_; }

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
