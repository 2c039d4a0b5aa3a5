#pragma once

#include "engine/TypedError.h"

#include <cstdint>
#include <string>
#include <variant>

namespace kelvane::engine {

struct ResourceForkCases {
    struct dataExceedsMaximum {
        std::int64_t payloadBytes = 0;
        std::int64_t max = 2147483647;
        bool operator==(const dataExceedsMaximum&) const = default;
    };
    struct invalidHeader { std::string reason; bool operator==(const invalidHeader&) const = default; };
    struct truncated { bool operator==(const truncated&) const = default; };
    using Case = std::variant<dataExceedsMaximum, invalidHeader, truncated>;

    static std::string describe(const dataExceedsMaximum& c)
    {
        return caseText("dataExceedsMaximum", {labeled("payloadBytes", c.payloadBytes), labeled("max", c.max)});
    }
    static std::string describe(const invalidHeader& c) { return caseText("invalidHeader", {labeled("reason", c.reason)}); }
    static std::string describe(const truncated&) { return "truncated"; }
};

// Failure of the resource-fork block codec.
class ResourceForkError : public TypedFailure<ResourceForkCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::engine
