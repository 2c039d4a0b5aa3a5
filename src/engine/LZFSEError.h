// SPDX-License-Identifier: MIT
#pragma once

#include "engine/TypedError.h"

namespace kelvane::engine {

// Failure of the LZFSE buffer calls.
struct LZFSECases {
    struct decodeFailed { std::int64_t expectedBytes = 0; std::int64_t gotBytes = 0; };
    struct encodeFailed {};
    using Case = std::variant<decodeFailed, encodeFailed>;

    static std::string describe(const decodeFailed& c)
    {
        return caseText("decodeFailed", {labeled("expectedBytes", c.expectedBytes), labeled("gotBytes", c.gotBytes)});
    }
    static std::string describe(const encodeFailed&) { return "encodeFailed"; }
};

class LZFSEError : public TypedFailure<LZFSECases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
