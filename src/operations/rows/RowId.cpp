// SPDX-License-Identifier: MIT
#include "operations/rows/RowId.h"

#include <string_view>

namespace kelvane::operations {

std::string RowId::toString() const
{
    if (kind == Kind::registered)
        return "registered-" + itemID.toString();
    return "child-" + itemID.toString() + "-" + path.string();
}

}  // namespace kelvane::operations

std::size_t std::hash<kelvane::operations::RowId>::operator()(const kelvane::operations::RowId& id) const noexcept
{
    // The children of one folder differ by path alone.
    const std::size_t byPath = std::hash<std::string_view>{}(id.path.native());
    const std::size_t byItem = std::hash<kelvane::store::Uuid>{}(id.itemID);
    return byPath ^ (byItem + 0x9e3779b97f4a7c15ULL + (byPath << 6) + (byPath >> 2)) ^
           static_cast<std::size_t>(id.kind);
}
