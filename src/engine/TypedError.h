#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace kelvane::engine {

// Base of every typed failure of the engine. Each failure type keeps its
// cases as a std::variant of small case structs named after the cases; the
// base only carries the textual form, "caseName(label: value, ...)", computed
// once so that what() stays valid for the life of the exception.
class TypedError : public std::exception {
public:
    const std::string& description() const noexcept { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

protected:
    explicit TypedError(std::string text) : text_(std::move(text)) {}

private:
    std::string text_;
};

// Sizes read from untrusted headers are unsigned 64-bit; failure payloads are
// signed 64-bit counts. Values that do not fit are reported as the largest count.
constexpr std::int64_t saturatingCount(std::uint64_t value)
{
    constexpr auto max = static_cast<std::uint64_t>(INT64_MAX);
    return static_cast<std::int64_t>(value > max ? max : value);
}

// Helpers for the textual form; a string payload is quoted.
std::string quotedText(std::string_view text);

}  // namespace kelvane::engine
