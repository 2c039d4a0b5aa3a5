// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypedFailure.h"

#include <filesystem>

namespace kelvane::discovery {

// Failure of creating or resolving a bookmark; `reason` is the platform's
// description of what went wrong, as it stands. Callers word their own messages.
struct BookmarkCases {
    struct creationFailed { std::string reason; };
    // `recordedPath`: where the item was when it was bookmarked, when the data
    // itself was sound (a folder in a dead mount, or one that moved, fails
    // to resolve but still names its place).
    struct resolutionFailed {
        std::string reason;
        std::filesystem::path recordedPath = {};
    };
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

class BookmarkError : public platform::TypedFailure<BookmarkCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::discovery
