// SPDX-License-Identifier: MIT
#pragma once

#include "engine/TypedError.h"

namespace kelvane::engine {

// Failure of the resource-fork block codec.
struct ResourceForkCases {
    struct dataExceedsMaximum { std::int64_t payloadBytes = 0; std::int64_t max = 2147483647; };
    struct invalidHeader { std::string reason; };
    struct truncated {};
    using Case = std::variant<dataExceedsMaximum, invalidHeader, truncated>;

    static std::string describe(const dataExceedsMaximum& c)
    {
        return caseText("dataExceedsMaximum", {labeled("payloadBytes", c.payloadBytes), labeled("max", c.max)});
    }
    static std::string describe(const invalidHeader& c) { return caseText("invalidHeader", {labeled("reason", c.reason)}); }
    static std::string describe(const truncated&) { return "truncated"; }
};

class ResourceForkError : public TypedFailure<ResourceForkCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
