#pragma once

#include "engine/TypedError.h"

#include <string>
#include <variant>

namespace kelvane::discovery {

// Failure of creating or resolving a bookmark; `reason` is the platform's
// description of what went wrong, as it stands. Callers word their own messages.
class BookmarkError : public engine::TypedError {
public:
    struct creationFailed {
        std::string reason;
        bool operator==(const creationFailed&) const = default;
    };
    struct resolutionFailed {
        std::string reason;
        bool operator==(const resolutionFailed&) const = default;
    };
    using Case = std::variant<creationFailed, resolutionFailed>;

    BookmarkError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const BookmarkError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::discovery
