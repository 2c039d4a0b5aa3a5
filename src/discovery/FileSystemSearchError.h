// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/PathCases.h"
#include "platform/TypedFailure.h"

#include <variant>

namespace kelvane::discovery {

// Why a search could not start.
struct FileSystemSearchCases : PathCases {
    struct rootNotFound { static constexpr const char* name = "rootNotFound"; Path url; };
    struct rootNotADirectory { static constexpr const char* name = "rootNotADirectory"; Path url; };
    using Case = std::variant<rootNotFound, rootNotADirectory>;
};

class FileSystemSearchError : public platform::TypedFailure<FileSystemSearchCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::discovery
