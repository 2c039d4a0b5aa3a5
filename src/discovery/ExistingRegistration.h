// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ItemKind.h"

#include <filesystem>

namespace kelvane::discovery {

// A registered item as the registration rule sees it.
struct ExistingRegistration {
    std::filesystem::path url;
    ItemKind kind = ItemKind::file;

    bool operator==(const ExistingRegistration&) const = default;
};

}  // namespace kelvane::discovery
