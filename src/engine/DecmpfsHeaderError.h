// SPDX-License-Identifier: MIT
#pragma once

#include "engine/TypedError.h"

namespace kelvane::engine {

// Failure of DecmpfsHeader::parse.
struct DecmpfsHeaderCases {
    struct insufficientBytes { std::int64_t needed = 16; std::int64_t got = 0; };
    struct invalidMagic { std::uint32_t value = 0; };
    struct unknownCompressionType { std::uint32_t rawValue = 0; };
    using Case = std::variant<insufficientBytes, invalidMagic, unknownCompressionType>;

    static std::string describe(const insufficientBytes& c);
    static std::string describe(const invalidMagic& c);
    static std::string describe(const unknownCompressionType& c);
};

class DecmpfsHeaderError : public TypedFailure<DecmpfsHeaderCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
