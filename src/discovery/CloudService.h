// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

namespace kelvane::discovery {

// A service that synchronises a folder with the cloud.
enum class CloudService { iCloudDrive, dropbox, oneDrive, googleDrive, fileProviderGeneric };

inline constexpr CloudService kAllCloudServices[] = {CloudService::iCloudDrive, CloudService::dropbox,
                                                     CloudService::oneDrive, CloudService::googleDrive,
                                                     CloudService::fileProviderGeneric};

std::string_view rawValue(CloudService service);
std::optional<CloudService> cloudServiceFromRawValue(std::string_view raw);
std::string_view displayName(CloudService service);

}  // namespace kelvane::discovery
