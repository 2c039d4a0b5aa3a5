// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ItemKind.h"

#include <optional>

namespace kelvane::store {
class RegisteredItem;
}

namespace kelvane::operations {

// What a registration or a row is (the discovery layer's kind). The windows
// get it from here: they do not reach into the discovery layer.
using discovery::ItemKind;

// The kind a stored item was registered as; none when the store holds some
// other text (a file written by a later version, say).
std::optional<ItemKind> itemKindOf(const store::RegisteredItem& item);

}  // namespace kelvane::operations
