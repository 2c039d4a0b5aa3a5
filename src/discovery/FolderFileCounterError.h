// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/FileSystemSearchError.h"

namespace kelvane::discovery {

// Why a folder could not be counted; the caller words the message.
struct FolderFileCounterCases {
    using Path = std::filesystem::path;
    struct notFound { Path url; };
    struct notADirectory { Path url; };
    using Case = std::variant<notFound, notADirectory>;

    static std::string describe(const notFound& c) { return FileSystemSearchCases::pathCase("notFound", c.url); }
    static std::string describe(const notADirectory& c)
    {
        return FileSystemSearchCases::pathCase("notADirectory", c.url);
    }
};

class FolderFileCounterError : public platform::TypedFailure<FolderFileCounterCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::discovery
