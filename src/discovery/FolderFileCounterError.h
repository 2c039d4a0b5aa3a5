#pragma once

#include "discovery/FileSystemSearchError.h"

namespace kelvane::discovery {

struct FolderFileCounterCases {
    using Path = std::filesystem::path;
    struct notFound { Path url; bool operator==(const notFound&) const = default; };
    struct notADirectory { Path url; bool operator==(const notADirectory&) const = default; };
    using Case = std::variant<notFound, notADirectory>;

    static std::string describe(const notFound& c) { return FileSystemSearchCases::pathCase("notFound", c.url); }
    static std::string describe(const notADirectory& c)
    {
        return FileSystemSearchCases::pathCase("notADirectory", c.url);
    }
};

// Why a folder could not be counted; the caller words the message.
class FolderFileCounterError : public platform::TypedFailure<FolderFileCounterCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::discovery
