// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/PathCases.h"
#include "platform/TypedFailure.h"

#include <variant>

namespace kelvane::discovery {

// Why a folder could not be counted.
struct FolderFileCounterCases : PathCases {
    struct notFound { static constexpr const char* name = "notFound"; Path url; };
    struct notADirectory { static constexpr const char* name = "notADirectory"; Path url; };
    using Case = std::variant<notFound, notADirectory>;
};

class FolderFileCounterError : public platform::TypedFailure<FolderFileCounterCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace kelvane::discovery
