// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ExistingRegistration.h"
#include "discovery/RegistrationDecision.h"

#include <filesystem>
#include <span>
#include <string>

namespace kelvane::discovery {

// The rule that decides whether a path may be registered: not when the same
// path is registered, not when it lies inside a registered folder. Paths are
// compared standardized, case-sensitively and by canonical equivalence;
// symbolic links are not resolved. Touches neither the store nor the disk.
class RegistrationService {
public:
    // The first existing registration (in the order given) that matches decides.
    RegistrationDecision decide(const std::filesystem::path& url, ItemKind kind, bool includeSubfolders,
                                std::span<const ExistingRegistration> existing) const;

    static std::string normalizedPath(const std::filesystem::path& url);
};

}  // namespace kelvane::discovery
