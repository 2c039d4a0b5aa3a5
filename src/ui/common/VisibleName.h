// SPDX-License-Identifier: MIT
#pragma once

#include "display/VisibleName.h"

namespace kelvane::ui {

// Cells and labels show names the way messages below the windows do.
using display::visibleName;

}  // namespace kelvane::ui
