#pragma once

#include "engine/TypedError.h"

#include <cstdint>
#include <string>
#include <variant>

namespace kelvane::engine {

// Failure of the resource-fork block codec.
class ResourceForkError : public TypedError {
public:
    struct dataExceedsMaximum {
        std::int64_t payloadBytes = 0;
        std::int64_t max = 2147483647;
        bool operator==(const dataExceedsMaximum&) const = default;
    };
    struct invalidHeader {
        std::string reason;
        bool operator==(const invalidHeader&) const = default;
    };
    struct truncated {
        bool operator==(const truncated&) const = default;
    };
    using Case = std::variant<dataExceedsMaximum, invalidHeader, truncated>;

    ResourceForkError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const ResourceForkError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::engine
