// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/FileStatusEntry.h"

#include <filesystem>

namespace kelvane::operations {

// The inspection a table cell asks for when its row has no state yet, and
// the one "再試行" asks for: the inspector's result as it is (the store's
// record of files that did not shrink is the folder loading's and the bulk
// runs' business, not the cell's). A failure other than a missing file is
// logged. Any thread.
FileStatusEntry inspectForCell(const std::filesystem::path& url);

}  // namespace kelvane::operations
