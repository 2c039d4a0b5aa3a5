// SPDX-License-Identifier: MIT
#pragma once

#include "store/Uuid.h"

#include <filesystem>
#include <optional>
#include <unordered_map>

namespace kelvane::store {
class RegisteredItem;
}

namespace kelvane::operations {

// Where each registered item was found the first time its bookmark resolved,
// for the life of the process (the rescan-everything command empties it).
// Main thread only.
class BookmarkUrlCache {
public:
    static BookmarkUrlCache& shared();

    // The cached location, or the bookmark resolved now (and remembered); a
    // failure gives none and is tried again next time.
    std::optional<std::filesystem::path> resolve(const store::RegisteredItem& item);
    void removeAll() { urls_.clear(); }

private:
    std::unordered_map<store::Uuid, std::filesystem::path> urls_;
};

}  // namespace kelvane::operations
