#include "discovery/CloudFolderDetector.h"

#include "discovery/CanonicalText.h"
#include "discovery/HomeFolder.h"
#include "discovery/StandardizedPath.h"

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

}  // namespace

std::string CloudFolderDetector::normalizedPath(const std::filesystem::path& url) {
    return discovery::normalizedPath(url);
}

std::optional<CloudService> CloudFolderDetector::detect(const std::filesystem::path& url) {
    // Decomposed on both sides, so plain comparisons are canonical ones.
    const auto p = CanonicalText::decomposed(normalizedPath(url));
    const auto h = CanonicalText::decomposed(discovery::normalizedPath(homeFolder()));

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
    return std::nullopt;
}

}  // namespace kelvane::discovery
