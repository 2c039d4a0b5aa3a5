#pragma once

#include "discovery/CloudService.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::discovery {

// Tells from a path alone (nothing is read from disk) whether it lies in a
// folder that a cloud service keeps in sync, below the current home folder.
class CloudFolderDetector {
public:
    static std::optional<CloudService> detect(const std::filesystem::path& url);
    static std::string normalizedPath(const std::filesystem::path& url);
};

}  // namespace kelvane::discovery
