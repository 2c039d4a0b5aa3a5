#pragma once

#include "engine/TypedError.h"

#include <cstdint>
#include <string>
#include <variant>

namespace kelvane::engine {

struct DecmpfsHeaderCases {
    struct insufficientBytes {
        std::int64_t needed = 16;
        std::int64_t got = 0;
        bool operator==(const insufficientBytes&) const = default;
    };
    struct invalidMagic { std::uint32_t value = 0; bool operator==(const invalidMagic&) const = default; };
    struct unknownCompressionType {
        std::uint32_t rawValue = 0;
        bool operator==(const unknownCompressionType&) const = default;
    };
    using Case = std::variant<insufficientBytes, invalidMagic, unknownCompressionType>;

    static std::string describe(const insufficientBytes& c);
    static std::string describe(const invalidMagic& c);
    static std::string describe(const unknownCompressionType& c);
};

// Failure of DecmpfsHeader::parse.
class DecmpfsHeaderError : public TypedFailure<DecmpfsHeaderCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
