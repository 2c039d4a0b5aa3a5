#pragma once

#include "engine/TypedError.h"

#include <cstdint>
#include <variant>

namespace kelvane::engine {

// Failure of the LZFSE buffer calls.
class LZFSEError : public TypedError {
public:
    struct decodeFailed {
        std::int64_t expectedBytes = 0;
        std::int64_t gotBytes = 0;
        bool operator==(const decodeFailed&) const = default;
    };
    struct encodeFailed {
        bool operator==(const encodeFailed&) const = default;
    };
    using Case = std::variant<decodeFailed, encodeFailed>;

    LZFSEError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const LZFSEError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::engine
