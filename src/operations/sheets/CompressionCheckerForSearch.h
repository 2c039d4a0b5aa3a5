// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace kelvane::operations {

// The search sheet's and the wizard's test of "already compressed": the
// inspector finds the file compressed. Any other state, and any failure to
// inspect, is not compressed. Safe on any thread.
bool compressionCheckerForSearch(const std::filesystem::path& url);

}  // namespace kelvane::operations
