// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/RegisteredItemKind.h"
#include "operations/rows/RowId.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::store {
class RegisteredItem;
}

namespace kelvane::operations {

class BookmarkUrlCache;

// A plain snapshot of one registered item that a worker may read
// (DerivedAggregates::TopItemRef).
struct TopItemRef {
    RowId id;  // the row id of the registered item
    ItemId itemID;
    std::optional<ItemKind> kind;  // none: the store holds some other text
    std::string displayName;
    std::filesystem::path url;  // "/__unresolved__/<name>" when the bookmark does not resolve
    int stars = 0;

    // Main thread (resolves through the bookmark URL cache).
    static TopItemRef make(const store::RegisteredItem& item, BookmarkUrlCache& urls);
};

// 0 unless the item is a file and a resolved location exists; otherwise the
// stars of the location's extension.
int expectedStars(std::optional<ItemKind> kind, const std::optional<std::filesystem::path>& resolvedURL,
                  const std::filesystem::path& url);

}  // namespace kelvane::operations
