// SPDX-License-Identifier: MIT
#include "discovery/CloudService.h"

namespace kelvane::discovery {

std::string_view rawValue(CloudService service) {
    switch (service) {
    case CloudService::iCloudDrive: return "iCloudDrive";
    case CloudService::dropbox: return "dropbox";
    case CloudService::oneDrive: return "oneDrive";
    case CloudService::googleDrive: return "googleDrive";
    case CloudService::fileProviderGeneric: return "fileProviderGeneric";
    }
    return {};
}

std::optional<CloudService> cloudServiceFromRawValue(std::string_view raw) {
    for (auto service : kAllCloudServices)
        if (rawValue(service) == raw) return service;
    return std::nullopt;
}

std::string_view displayName(CloudService service) {
    switch (service) {
    case CloudService::iCloudDrive: return "iCloud Drive";
    case CloudService::dropbox: return "Dropbox";
    case CloudService::oneDrive: return "OneDrive";
    case CloudService::googleDrive: return "Google Drive";
    case CloudService::fileProviderGeneric: return "クラウドストレージ";
    }
    return {};
}

}  // namespace kelvane::discovery
