// SPDX-License-Identifier: MIT
#include "store/StoreError.h"

namespace kelvane::store {

StoreError::StoreError(Code code, std::string description, int sqliteCode)
    : TypedError(std::move(description)), code_(code), sqliteCode_(sqliteCode) {}

}  // namespace kelvane::store
