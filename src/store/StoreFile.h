// SPDX-License-Identifier: MIT
#pragma once

#include "store/SchemaVersion.h"

#include <chrono>
#include <filesystem>

namespace kelvane::store::detail {

// Makes `path` hold a store of the current schema version, or refuses:
// creates a missing (or empty) store whole, migrates an older one in one
// transaction, and throws StoreError for anything else, which is then left
// exactly as it was. Returns the version the file had before.
SchemaVersion prepareStoreFile(const std::filesystem::path& path, std::chrono::milliseconds busyTimeout);

}  // namespace kelvane::store::detail
