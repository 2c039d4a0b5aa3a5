// SPDX-License-Identifier: MIT
#include "store/StoreError.h"

#include <sqlite3.h>

namespace kelvane::store {

StoreError::StoreError(Code code, std::string description, int sqliteCode)
    : TypedError(std::move(description)), code_(code), sqliteCode_(sqliteCode) {}

bool StoreError::isDiskFull() const { return (sqliteCode_ & 0xFF) == SQLITE_FULL; }

}  // namespace kelvane::store
