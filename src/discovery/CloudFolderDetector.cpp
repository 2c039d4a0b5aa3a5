// SPDX-License-Identifier: MIT
#include "discovery/CloudFolderDetector.h"

#include "discovery/CanonicalText.h"
#include "discovery/HomeFolder.h"
#include "discovery/StandardizedPath.h"
#include "discovery/XdgFolders.h"

#include <algorithm>
#include <cctype>

namespace kelvane::discovery {
namespace {

bool isFolderOrBelow(const std::string& path, const std::string& folder) {
    return path == folder || path.starts_with(folder + "/");
}

std::string lowercasedAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The kinds of mount whose files a sync client or a remote mounts: every
// folder on one is the cloud's.
bool isCloudFileSystem(std::string_view fsType) { return fsType == "fuse.rclone" || fsType == "fuse.onedriver"; }

// The file system type of the mount `path` lies on: the deepest mount point
// above it, the later of two on the same point (it hides the earlier).
std::optional<std::string> fileSystemTypeAt(const std::string& path, const platform::MountTable& mounts)
{
    const platform::MountEntry* found = nullptr;
    std::size_t foundLength = 0;
    for (const platform::MountEntry& entry : mounts.entries()) {
        const auto point = CanonicalText::decomposed(discovery::normalizedPath(entry.mountPoint));
        const bool covers = point == "/" || isFolderOrBelow(path, point);
        if (covers && point.size() >= foundLength) {
            found = &entry;
            foundLength = point.size();
        }
    }
    if (found == nullptr) return std::nullopt;
    return found->fsType;
}

std::optional<CloudService> detectByMount(const std::string& p, const platform::MountTable& mounts)
{
    const auto type = fileSystemTypeAt(p, mounts);
    if (type && isCloudFileSystem(*type)) return CloudService::fileProviderGeneric;
    return std::nullopt;
}

std::optional<CloudService> detectByFolder(const std::string& p, const std::string& h)
{
    if (isFolderOrBelow(p, h + "/Library/Mobile Documents")) return CloudService::iCloudDrive;

    const auto storage = h + "/Library/CloudStorage/";
    if (p.starts_with(storage)) {
        std::string_view rest(p);
        rest.remove_prefix(storage.size());
        while (rest.starts_with('/')) rest.remove_prefix(1);
        const auto provider = std::string(rest.substr(0, rest.find('/')));
        if (provider.empty()) return std::nullopt;
        const auto name = lowercasedAscii(provider);
        if (name.starts_with("dropbox")) return CloudService::dropbox;
        if (name.starts_with("onedrive")) return CloudService::oneDrive;
        if (name.starts_with("googledrive")) return CloudService::googleDrive;
        return CloudService::fileProviderGeneric;
    }

    if (isFolderOrBelow(p, h + "/Dropbox")) return CloudService::dropbox;
    if (isFolderOrBelow(p, h + "/OneDrive")) return CloudService::oneDrive;

    // The desktop's Google Drive mounts: <runtime>/gvfs/google-drive:host=...,user=...
    const auto gvfs = CanonicalText::decomposed(discovery::normalizedPath(xdgRuntimeDir())) + "/gvfs/";
    if (p.starts_with(gvfs) && std::string_view(p).substr(gvfs.size()).starts_with("google-drive:"))
        return CloudService::googleDrive;

    if (isFolderOrBelow(p, h + "/Nextcloud") || isFolderOrBelow(p, h + "/ownCloud"))
        return CloudService::fileProviderGeneric;
    return std::nullopt;
}

}  // namespace

std::string CloudFolderDetector::normalizedPath(const std::filesystem::path& url) {
    return discovery::normalizedPath(url);
}

std::optional<CloudService> CloudFolderDetector::detect(const std::filesystem::path& url) {
    // Decomposed on both sides, so plain comparisons are canonical ones.
    const auto p = CanonicalText::decomposed(normalizedPath(url));
    if (auto service = detectByFolder(p, CanonicalText::decomposed(discovery::normalizedPath(homeFolder()))))
        return service;
    const auto mounts = platform::MountTable::read("/proc");
    return mounts ? detectByMount(p, *mounts) : std::nullopt;
}

std::optional<CloudService> CloudFolderDetector::detect(const std::filesystem::path& url,
                                                        const std::optional<platform::MountTable>& mounts) {
    const auto p = CanonicalText::decomposed(normalizedPath(url));
    if (auto service = detectByFolder(p, CanonicalText::decomposed(discovery::normalizedPath(homeFolder()))))
        return service;
    return mounts ? detectByMount(p, *mounts) : std::nullopt;
}

}  // namespace kelvane::discovery
