// SPDX-License-Identifier: MIT
#pragma once

#include "store/SchemaVersion.h"

#include <array>
#include <span>
#include <string_view>

namespace kelvane::store {

// The current layout: the first one plus the incompressible files.
struct SchemaV2 {
    static constexpr SchemaVersion versionIdentifier{2, 0, 0};
    static constexpr std::array<std::string_view, 4> models{"RegisteredItem", "FileSnapshot", "CompressionLog",
                                                             "IncompressibleFile"};

    // The SQL that turns an empty database into an empty store of this
    // version, version record and file identity included.
    static std::span<const std::string_view> statements();
};

}  // namespace kelvane::store
