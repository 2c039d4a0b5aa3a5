// SPDX-License-Identifier: MIT
#pragma once

#include "store/Uuid.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::operations {

// The id of a registered item or folder, as the windows hold it.
using ItemId = store::Uuid;

// What a row of the main table stands for, and the text it is known by in
// the table and the status cache: "registered-" + item id for a registered
// file or folder, "child-" + folder id + "-" + path for a file found inside a
// registered folder.
struct RowId {
    enum class Kind { registered, child };

    Kind kind = Kind::registered;
    ItemId itemID;               // the registered item, or the folder of a child
    std::filesystem::path path;  // a child's path; empty for a registered row

    static RowId registered(const ItemId& itemID) { return {Kind::registered, itemID, {}}; }
    static RowId child(const ItemId& folderID, std::filesystem::path path)
    {
        return {Kind::child, folderID, std::move(path)};
    }

    std::string toString() const;
    // What every child id of `folderID` begins with; its path follows.
    static std::string childPrefix(const ItemId& folderID);

    bool operator==(const RowId&) const = default;
};

}  // namespace kelvane::operations
