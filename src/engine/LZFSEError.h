#pragma once

#include "engine/TypedError.h"

#include <cstdint>
#include <string>
#include <variant>

namespace kelvane::engine {

struct LZFSECases {
    struct decodeFailed {
        std::int64_t expectedBytes = 0;
        std::int64_t gotBytes = 0;
        bool operator==(const decodeFailed&) const = default;
    };
    struct encodeFailed { bool operator==(const encodeFailed&) const = default; };
    using Case = std::variant<decodeFailed, encodeFailed>;

    static std::string describe(const decodeFailed& c)
    {
        return caseText("decodeFailed", {labeled("expectedBytes", c.expectedBytes), labeled("gotBytes", c.gotBytes)});
    }
    static std::string describe(const encodeFailed&) { return "encodeFailed"; }
};

// Failure of the LZFSE buffer calls.
class LZFSEError : public TypedFailure<LZFSECases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
