#pragma once

#include "engine/TypedError.h"

#include <cstdint>
#include <variant>

namespace kelvane::engine {

// Failure of DecmpfsHeader::parse.
class DecmpfsHeaderError : public TypedError {
public:
    struct insufficientBytes {
        std::int64_t needed = 16;
        std::int64_t got = 0;
        bool operator==(const insufficientBytes&) const = default;
    };
    struct invalidMagic {
        std::uint32_t value = 0;
        bool operator==(const invalidMagic&) const = default;
    };
    struct unknownCompressionType {
        std::uint32_t rawValue = 0;
        bool operator==(const unknownCompressionType&) const = default;
    };
    using Case = std::variant<insufficientBytes, invalidMagic, unknownCompressionType>;

    DecmpfsHeaderError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const DecmpfsHeaderError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::engine
