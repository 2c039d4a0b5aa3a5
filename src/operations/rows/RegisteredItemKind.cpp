// SPDX-License-Identifier: MIT
#include "operations/rows/RegisteredItemKind.h"

#include "store/RegisteredItem.h"

namespace kelvane::operations {

std::optional<ItemKind> itemKindOf(const store::RegisteredItem& item)
{
    return discovery::itemKindFromRawValue(item.kind());
}

}  // namespace kelvane::operations
