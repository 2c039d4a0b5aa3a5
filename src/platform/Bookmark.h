// SPDX-License-Identifier: MIT
#pragma once

#include "platform/PosixError.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace kelvane::platform {

// Stand-in for security-scoped bookmarks. The data records the path and the
// identity of what is there (device, inode, file type, birth time), in a
// small versioned format of our own with a checksum. Resolution finds the
// item again by its path only: a missing item fails, and a different item at
// the path (another inode, type or birth time) resolves as stale.

inline constexpr unsigned kBookmarkCreationWithSecurityScope = 0x800;
inline constexpr unsigned kBookmarkResolutionWithSecurityScope = 0x400;

struct BookmarkDataCases {
    // Damaged, truncated or foreign data.
    struct invalidData { std::string reason; };
    // Nothing usable at the path: why, and the errno behind it.
    struct creationFailed { std::filesystem::path path; std::string reason; int errorNumber = 0; };
    struct resolutionFailed { std::filesystem::path path; std::string reason; int errorNumber = 0; };
    using Case = std::variant<invalidData, creationFailed, resolutionFailed>;

    static std::string describe(const invalidData& c) { return "bookmark data is not valid: " + c.reason; }
    static std::string describe(const creationFailed& c);
    static std::string describe(const resolutionFailed& c);
};

// What creation or resolution failed with; what() is the textual description
// callers pass on, and code() the errno behind it (EINVAL for bad data).
class BookmarkDataError : public TypedFailure<BookmarkDataCases> {
public:
    using TypedFailure::TypedFailure;
    int code() const noexcept;
};

// Needs an absolute path to something that exists (a symbolic link is
// bookmarked itself, not followed). Throws BookmarkDataError.
std::vector<std::uint8_t> createBookmarkData(const std::filesystem::path& path, unsigned options);

struct ResolvedBookmarkData {
    std::filesystem::path path;
    bool isStale = false;
};

// Never reads outside `data` and never trusts its lengths: any damaged,
// truncated or foreign bytes fail with BookmarkDataError. Throws also when
// nothing exists at the recorded path.
ResolvedBookmarkData resolveBookmarkData(std::span<const std::uint8_t> data, unsigned options);

// Access to a resolved location is always granted here; the calls exist so
// that callers pair them as the original platform requires.
bool startAccessingSecurityScopedResource(const std::filesystem::path& path);
void stopAccessingSecurityScopedResource(const std::filesystem::path& path);

}  // namespace kelvane::platform
