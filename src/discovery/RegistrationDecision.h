// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ItemKind.h"

#include <filesystem>
#include <string>
#include <type_traits>
#include <variant>

namespace kelvane::discovery {

// Outcome of a registration request; the caller words its own message.
class RegistrationDecision {
public:
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

    template <typename C>
        requires std::is_constructible_v<Case, C>
    RegistrationDecision(C value) : value_(std::move(value)) {}

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    // "willRegister(url: /a, kind: folder, includeSubfolders: true)" and so on.
    std::string description() const;

    bool operator==(const RegistrationDecision&) const = default;

private:
    Case value_;
};

}  // namespace kelvane::discovery
