// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>

namespace kelvane::platform {

// Whether the file system holding `folder` gives this process `bytes` more
// right now. Takes that much for a file that has no name (nothing shows in
// the folder, and nothing is left there even if the process dies) and gives
// it back at once. Free-space figures alone miss quotas and the blocks kept
// for root; allocating is what a write does, so it is charged exactly as the
// write would be.
// Returns 0, or the errno of the refusal: ENOSPC (the disk is full), EDQUOT
// (the quota is full), or whatever keeps the folder from taking a file.
int probeFreeSpace(const std::filesystem::path& folder, std::uint64_t bytes);

}  // namespace kelvane::platform
