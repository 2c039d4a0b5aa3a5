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

std::optional<RowId> RowId::parse(std::string_view text)
{
    if (text.starts_with(registeredPrefix)) {
        const auto id = ItemId::fromString(text.substr(registeredPrefix.size()));
        if (!id)
            return std::nullopt;
        return registered(*id);
    }
    if (!text.starts_with(childTag))
        return std::nullopt;
    // The folder id has a fixed length, so a path holding "-" splits safely.
    const std::string_view rest = text.substr(childTag.size());
    const std::size_t idLength = ItemId().toString().size();
    if (rest.size() <= idLength || rest[idLength] != '-')
        return std::nullopt;
    const auto id = ItemId::fromString(rest.substr(0, idLength));
    if (!id)
        return std::nullopt;
    return child(*id, std::filesystem::path(std::string(rest.substr(idLength + 1))));
}

}  // namespace kelvane::operations
