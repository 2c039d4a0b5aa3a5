// SPDX-License-Identifier: MIT
#pragma once

// The library headers come first, <compare> (from Uuid.h) last: moc, reading
// a window header that includes this one, fails on <compare> read first.
#include <cstddef>
#include <filesystem>
#include <string>

#include "store/Uuid.h"

namespace kelvane::operations {

// The id of a registered item or folder, as the windows hold it.
using ItemId = store::Uuid;

// What a row of the main table stands for, and its key in the table, the
// status cache and every set of rows: a registered file or folder, or a file
// found inside a registered folder. Two child ids are the same only when
// their paths are spelled the same, as the folder listing gave them.
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

    bool isChild() const { return kind == Kind::child; }

    // Only for Qt's item roles: "registered-" + item id, or "child-" +
    // folder id + "-" + path.
    std::string toString() const;

    friend bool operator==(const RowId& a, const RowId& b)
    {
        return a.kind == b.kind && a.itemID == b.itemID && a.path.native() == b.path.native();
    }
    friend std::strong_ordering operator<=>(const RowId& a, const RowId& b)
    {
        if (const auto byKind = a.kind <=> b.kind; byKind != 0)
            return byKind;
        if (const auto byItem = a.itemID <=> b.itemID; byItem != 0)
            return byItem;
        return a.path.native() <=> b.path.native();
    }
};

}  // namespace kelvane::operations

template <>
struct std::hash<kelvane::operations::RowId> {
    std::size_t operator()(const kelvane::operations::RowId& id) const noexcept;
};
