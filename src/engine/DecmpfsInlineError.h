#pragma once

#include "engine/CompressionType.h"
#include "engine/TypedError.h"

#include <cstdint>
#include <string>
#include <variant>

namespace kelvane::engine {

struct DecmpfsInlineCases {
    struct payloadTooLarge {
        std::int64_t payloadBytes = 0;
        std::int64_t max = 3802;
        bool operator==(const payloadTooLarge&) const = default;
    };
    struct unsupportedCompressionType {
        CompressionType type = CompressionType::uncompressedAttr;
        bool operator==(const unsupportedCompressionType&) const = default;
    };
    struct truncatedPayload {
        std::int64_t needed = 0;
        std::int64_t got = 0;
        bool operator==(const truncatedPayload&) const = default;
    };
    struct missingUncompressedV2Prefix { bool operator==(const missingUncompressedV2Prefix&) const = default; };
    using Case = std::variant<payloadTooLarge, unsupportedCompressionType, truncatedPayload,
                              missingUncompressedV2Prefix>;

    static std::string describe(const payloadTooLarge& c);
    static std::string describe(const unsupportedCompressionType& c);
    static std::string describe(const truncatedPayload& c);
    static std::string describe(const missingUncompressedV2Prefix&) { return "missingUncompressedV2Prefix"; }
};

// Failure of the inline attribute codec.
class DecmpfsInlineError : public TypedFailure<DecmpfsInlineCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
