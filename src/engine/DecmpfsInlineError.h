// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionType.h"
#include "engine/TypedError.h"

namespace kelvane::engine {

// Failure of the inline attribute codec.
struct DecmpfsInlineCases {
    struct payloadTooLarge { std::int64_t payloadBytes = 0; std::int64_t max = 3802; };
    struct unsupportedCompressionType { CompressionType type = CompressionType::uncompressedAttr; };
    struct truncatedPayload { std::int64_t needed = 0; std::int64_t got = 0; };
    struct missingUncompressedV2Prefix {};
    using Case = std::variant<payloadTooLarge, unsupportedCompressionType, truncatedPayload,
                              missingUncompressedV2Prefix>;

    static std::string describe(const payloadTooLarge& c);
    static std::string describe(const unsupportedCompressionType& c);
    static std::string describe(const truncatedPayload& c);
    static std::string describe(const missingUncompressedV2Prefix&) { return "missingUncompressedV2Prefix"; }
};

class DecmpfsInlineError : public TypedFailure<DecmpfsInlineCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
