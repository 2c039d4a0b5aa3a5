// SPDX-License-Identifier: MIT
#pragma once

#include "store/SchemaVersion.h"

#include <array>
#include <span>
#include <string_view>

namespace kelvane::store {

// The first stored layout: registered items, their snapshots and the history.
struct SchemaV1 {
    static constexpr SchemaVersion versionIdentifier{1, 0, 0};
    static constexpr std::array<std::string_view, 3> models{"RegisteredItem", "FileSnapshot", "CompressionLog"};

    // The SQL that turns an empty database into an empty store of this
    // version, version record and file identity included.
    static std::span<const std::string_view> statements();
};

}  // namespace kelvane::store
