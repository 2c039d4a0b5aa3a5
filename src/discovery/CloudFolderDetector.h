// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/CloudService.h"
#include "platform/MountTable.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::discovery {

// Tells from a path (nothing is read from disk) whether it lies in a folder
// that a cloud service keeps in sync: the sync clients' folders below the
// current home folder, a Google Drive mount of the desktop's virtual file
// system, and any folder on a mount of a cloud file system.
class CloudFolderDetector {
public:
    // Reads the process's mount table only when no folder rule applies.
    static std::optional<CloudService> detect(const std::filesystem::path& url);
    // The same with the given mount table (nothing: no mount counts).
    static std::optional<CloudService> detect(const std::filesystem::path& url,
                                              const std::optional<platform::MountTable>& mounts);
    static std::string normalizedPath(const std::filesystem::path& url);
};

}  // namespace kelvane::discovery
