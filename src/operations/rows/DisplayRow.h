// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/FileStatusEntry.h"
#include "operations/rows/FolderAggregate.h"
#include "operations/rows/RegisteredItemKind.h"
#include "operations/rows/RowId.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::operations {

// One line of the main table: a registered file or folder, or a file inside
// a registered folder (a child row). Its id is also its key in the status
// cache.
struct DisplayRow {
    using DisplayKind = ItemKind;
    using Date = std::chrono::system_clock::time_point;
    // Children are shared, never changed once built: the table's rows and
    // every snapshot of them point at the same list.
    using Children = std::shared_ptr<const std::vector<DisplayRow>>;

    RowId id;
    std::string displayName;
    DisplayKind kind = DisplayKind::file;
    std::filesystem::path url;
    std::optional<Date> mtime;
    std::optional<std::uint64_t> logicalSize;
    std::optional<std::uint64_t> physicalSize;
    std::optional<double> ratio;
    std::optional<bool> isCompressed;
    std::optional<ItemId> registeredItemID;
    int stars = 0;
    Children children;
    std::optional<FolderAggregate> folderAggregate;

    bool operator==(const DisplayRow& other) const;

    int kindSortKey() const { return kind == DisplayKind::folder ? 0 : 1; }
    int statusSortKey() const { return !isCompressed ? 2 : (*isCompressed ? 0 : 1); }
    std::uint64_t logicalSizeSortKey() const { return logicalSize.value_or(0); }
    std::uint64_t physicalSizeSortKey() const { return physicalSize.value_or(0); }
    double ratioSortKey() const { return ratio.value_or(1.0); }
    Date mtimeSortKey() const { return mtime.value_or(Date::min()); }

    // The parent folder's path, the home folder written "~".
    std::string displayParentPath() const;

    // Physical size, ratio and compressed flag from a status entry (all
    // absent unless it is loaded).
    void applyStatus(const FileStatusEntry& entry);

};

// The home-relative form of a parent path: the home folder itself is "~",
// anything below it "~/...", everything else unchanged.
std::string homeRelativePath(const std::string& path, const std::string& home);

}  // namespace kelvane::operations
