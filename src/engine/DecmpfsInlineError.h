#pragma once

#include "engine/CompressionType.h"
#include "engine/TypedError.h"

#include <cstdint>
#include <variant>

namespace kelvane::engine {

// Failure of the inline attribute codec.
class DecmpfsInlineError : public TypedError {
public:
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
    struct missingUncompressedV2Prefix {
        bool operator==(const missingUncompressedV2Prefix&) const = default;
    };
    using Case = std::variant<payloadTooLarge, unsupportedCompressionType, truncatedPayload,
                              missingUncompressedV2Prefix>;

    DecmpfsInlineError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const DecmpfsInlineError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::engine
