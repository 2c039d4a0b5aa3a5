// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kelvane::test {

// Why kelvanefs cannot be mounted here (no usable /dev/fuse, no
// fusermount3), or nothing.
std::optional<std::string> whyNoKelvanefsMounts();

// The kelvanefs mounts at or below `folder`, deepest first.
std::vector<std::filesystem::path> kelvanefsMountsBelow(const std::filesystem::path& folder);

// Unmounts every kelvanefs mount at or below `folder` (lazily where it is
// busy), so that a test leaves none behind and can look at the disk itself.
void unmountKelvanefsBelow(const std::filesystem::path& folder);

// The kelvanefs daemons serving `mountPoint`.
std::vector<pid_t> kelvanefsDaemonsOf(const std::filesystem::path& mountPoint);

// Kills the daemon of `mountPoint` with SIGKILL, as a crash or the OOM killer
// would, and waits until the mount answers "Transport endpoint is not
// connected". False when there was no daemon or the mount never died.
bool killKelvanefsDaemon(const std::filesystem::path& mountPoint);

}  // namespace kelvane::test
