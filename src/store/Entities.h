// SPDX-License-Identifier: MIT
#pragma once

#include "store/EntityDescription.h"

#include <span>
#include <string_view>

namespace kelvane::store::detail {

// Every stored entity of the current schema.
std::span<const EntityDescription* const> allEntities();
const EntityDescription* entityNamed(std::string_view name);

}  // namespace kelvane::store::detail
