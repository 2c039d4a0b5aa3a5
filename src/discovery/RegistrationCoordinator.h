// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/RegistrationService.h"

#include <filesystem>

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::discovery {

// Applies the registration rule against the items in the store and, when it
// allows, stores the new item with its bookmark. Runs on the thread that owns
// the context (the main thread), synchronously, so a batch of calls each sees
// what the calls before it saved.
class RegistrationCoordinator {
public:
    RegistrationService service;

    // ("register" itself is a reserved word.)
    // Throws the store's StoreError (fetch or save) and BookmarkError
    // (creationFailed). A failed save is rolled back by the store, so the
    // item is never stored by a later save either.
    RegistrationDecision registerItem(const std::filesystem::path& url, ItemKind kind, bool includeSubfolders,
                                      store::ModelContext& context) const;
};

}  // namespace kelvane::discovery
