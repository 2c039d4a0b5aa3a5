// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::discovery {

// What a registration is; the raw values are what the store keeps.
enum class ItemKind { file, folder };

inline constexpr ItemKind kAllItemKinds[] = {ItemKind::file, ItemKind::folder};

inline std::string_view rawValue(ItemKind kind) {
    return kind == ItemKind::file ? "file" : "folder";
}

// Exact, case-sensitive: any other text is no kind.
inline std::optional<ItemKind> itemKindFromRawValue(std::string_view raw) {
    if (raw == "file") return ItemKind::file;
    if (raw == "folder") return ItemKind::folder;
    return std::nullopt;
}

}  // namespace kelvane::discovery
