// SPDX-License-Identifier: MIT
#include "operations/rows/TopItemRef.h"

#include "operations/folders/BookmarkUrlCache.h"
#include "operations/rows/FileAttributes.h"
#include "store/RegisteredItem.h"

namespace kelvane::operations {

int expectedStars(std::optional<ItemKind> kind, const std::optional<std::filesystem::path>& resolvedURL,
                  const std::filesystem::path& url)
{
    if (kind != ItemKind::file || !resolvedURL)
        return 0;
    return starsForFileName(url);
}

TopItemRef TopItemRef::make(const store::RegisteredItem& item, BookmarkUrlCache& urls)
{
    TopItemRef ref;
    ref.kind = itemKindOf(item);
    const std::optional<std::filesystem::path> resolved = urls.resolve(item);
    ref.url = resolved ? *resolved : std::filesystem::path("/__unresolved__/" + item.displayName());
    ref.stars = expectedStars(ref.kind, resolved, ref.url);
    ref.id = RowId::registered(item.id());
    ref.itemID = item.id();
    ref.displayName = item.displayName();
    return ref;
}

}  // namespace kelvane::operations
