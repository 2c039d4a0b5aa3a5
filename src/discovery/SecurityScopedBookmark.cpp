// SPDX-License-Identifier: MIT
#include "discovery/SecurityScopedBookmark.h"

#include "discovery/BookmarkError.h"
#include "platform/Bookmark.h"

namespace kelvane::discovery {

std::vector<std::uint8_t> SecurityScopedBookmark::createBookmark(const std::filesystem::path& url) {
    try {
        return platform::createBookmarkData(url, platform::kBookmarkCreationWithSecurityScope);
    } catch (const platform::BookmarkDataError& e) {
        throw BookmarkError(BookmarkError::creationFailed{e.what()});
    }
}

SecurityScopedBookmark::Resolved SecurityScopedBookmark::resolveBookmark(std::span<const std::uint8_t> data) {
    try {
        auto resolved = platform::resolveBookmarkData(data, platform::kBookmarkResolutionWithSecurityScope);
        return {std::move(resolved.path), resolved.isStale};
    } catch (const platform::BookmarkDataError& e) {
        const auto* failed = e.as<platform::BookmarkDataCases::resolutionFailed>();
        throw BookmarkError(BookmarkError::resolutionFailed{e.what(), failed ? failed->path : std::filesystem::path()});
    }
}

}  // namespace kelvane::discovery
