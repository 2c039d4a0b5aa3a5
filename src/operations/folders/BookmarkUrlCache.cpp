// SPDX-License-Identifier: MIT
#include "operations/folders/BookmarkUrlCache.h"

#include "discovery/SecurityScopedBookmark.h"
#include "store/RegisteredItem.h"

namespace kelvane::operations {

BookmarkUrlCache& BookmarkUrlCache::shared()
{
    static BookmarkUrlCache cache;
    return cache;
}

std::optional<std::filesystem::path> BookmarkUrlCache::resolve(const store::RegisteredItem& item)
{
    if (const auto it = urls_.find(item.id()); it != urls_.end())
        return it->second;
    try {
        auto resolved = discovery::SecurityScopedBookmark::resolveBookmark(item.bookmark());
        urls_.emplace(item.id(), resolved.url);
        return resolved.url;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace kelvane::operations
