// SPDX-License-Identifier: MIT
#pragma once

#include "fs/DescriptorServer.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::fs {

// Why `folder` must not be mounted (already served by kelvanefs, at that
// folder or above it), or nothing.
std::optional<std::string> refusalToMount(const std::filesystem::path& folder);

}  // namespace kelvane::fs
