#pragma once

#include "platform/TypedFailure.h"

#include <string>
#include <variant>

namespace kelvane::discovery {

struct BookmarkCases {
    struct creationFailed { std::string reason; bool operator==(const creationFailed&) const = default; };
    struct resolutionFailed { std::string reason; bool operator==(const resolutionFailed&) const = default; };
    using Case = std::variant<creationFailed, resolutionFailed>;

    static std::string describe(const creationFailed& c)
    {
        return platform::caseText("creationFailed", {platform::labeled("reason", c.reason)});
    }
    static std::string describe(const resolutionFailed& c)
    {
        return platform::caseText("resolutionFailed", {platform::labeled("reason", c.reason)});
    }
};

// Failure of creating or resolving a bookmark; `reason` is the platform's
// description of what went wrong, as it stands. Callers word their own messages.
class BookmarkError : public platform::TypedFailure<BookmarkCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::discovery
