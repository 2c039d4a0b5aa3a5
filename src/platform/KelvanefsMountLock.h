// SPDX-License-Identifier: MIT
#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::platform {

// Held by whoever makes or removes the kelvanefs mount of one folder, so
// that two Kelvane processes (or two threads: each holder opens the file
// anew, and the kernel keeps one lock per open) never mount it twice. A
// file beside the mount's socket in the runtime folder, locked with flock:
// the lock ends with its holder, even one that crashed.
class KelvanefsMountLock {
public:
    // Waits up to `limit` for the lock. Nothing, with `error` set, when it
    // is not had in time or the runtime folder cannot be used.
    static std::optional<KelvanefsMountLock> acquire(const std::filesystem::path& mountPoint,
                                                     std::chrono::milliseconds limit, std::string& error);

private:
    explicit KelvanefsMountLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

}  // namespace kelvane::platform
