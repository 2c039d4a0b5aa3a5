// SPDX-License-Identifier: MIT
#pragma once

#include "platform/UniqueFd.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace kelvane::platform {

// Watches folders for entries made, removed or renamed (the changes that
// move a folder's modification time), by anyone. One instance holds many
// folders: the kernel allows a user few instances but many watches.
class FolderWatches {
public:
    // Nothing when the kernel gives no instance (errno set).
    static std::optional<FolderWatches> open();

    // The watch of `folder` (the same number for a folder watched twice), or
    // -1 with errno set.
    int add(const std::filesystem::path& folder);
    void remove(int watch);

    // Hands every change since the last call to `onChange`, with its watch
    // and the entry's name ("/" when the folder itself was moved or removed),
    // in order. False when changes were lost (the kernel's queue
    // overflowed): what any watch saw is then unknown.
    bool drain(const std::function<void(int watch, std::string_view name)>& onChange);

private:
    explicit FolderWatches(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

}  // namespace kelvane::platform
