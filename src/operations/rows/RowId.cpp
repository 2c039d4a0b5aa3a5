// SPDX-License-Identifier: MIT
#include "operations/rows/RowId.h"

namespace kelvane::operations {

namespace {

constexpr std::string_view registeredPrefix = "registered-";
constexpr std::string_view childTag = "child-";

}  // namespace

std::string RowId::childPrefix(const ItemId& folderID)
{
    return std::string(childTag) + folderID.toString() + "-";
}

std::string RowId::toString() const
{
    if (kind == Kind::registered)
        return std::string(registeredPrefix) + itemID.toString();
    return childPrefix(itemID) + path.string();
}

}  // namespace kelvane::operations
