// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypedFailure.h"

#include <filesystem>

namespace kelvane::discovery {

// Why a search could not start; the caller words the message.
struct FileSystemSearchCases {
    using Path = std::filesystem::path;
    struct rootNotFound { Path url; };
    struct rootNotADirectory { Path url; };
    using Case = std::variant<rootNotFound, rootNotADirectory>;

    static std::string describe(const rootNotFound& c) { return pathCase("rootNotFound", c.url); }
    static std::string describe(const rootNotADirectory& c) { return pathCase("rootNotADirectory", c.url); }
    static std::string pathCase(const char* name, const Path& url)
    {
        return platform::caseText(name, {platform::quotedText(url.string())});
    }
};

class FileSystemSearchError : public platform::TypedFailure<FileSystemSearchCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::discovery
