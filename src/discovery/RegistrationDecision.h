// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ItemKind.h"
#include "platform/CaseValue.h"

#include <filesystem>
#include <string>
#include <type_traits>
#include <variant>

namespace kelvane::discovery {

// The cases of a registration request's outcome.
struct RegistrationDecisionCases {
    // May be registered; `url` is the standardized path.
    struct willRegister {
        std::filesystem::path url;
        ItemKind kind = ItemKind::file;
        bool includeSubfolders = false;
        bool operator==(const willRegister&) const = default;
    };
    // The same path is registered; `canonical` is that item's standardized path.
    struct skipDuplicate {
        std::filesystem::path canonical;
        bool operator==(const skipDuplicate&) const = default;
    };
    // The path lies inside the registered folder `parent` (standardized).
    struct skipChildOfRegistered {
        std::filesystem::path parent;
        bool operator==(const skipChildOfRegistered&) const = default;
    };
    using Case = std::variant<willRegister, skipDuplicate, skipChildOfRegistered>;
};

// Outcome of a registration request; the caller words its own message.
class RegistrationDecision : public platform::CaseValue<RegistrationDecisionCases> {
public:
    using CaseValue::CaseValue;

    // "willRegister(url: /a, kind: folder, includeSubfolders: true)" and so on.
    std::string description() const;

    bool operator==(const RegistrationDecision&) const = default;
};

}  // namespace kelvane::discovery
