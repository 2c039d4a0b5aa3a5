// SPDX-License-Identifier: MIT
#include "operations/rows/FileAttributes.h"

#include "discovery/PathExtension.h"
#include "engine/ExtensionCategory.h"
#include "platform/FileSystem.h"

namespace kelvane::operations {

FileAttributes readFileAttributes(const std::filesystem::path& url, bool isFile)
{
    platform::FileStat st;
    if (platform::lstat(url, st) != 0)
        return {};
    FileAttributes attributes;
    attributes.modificationDate = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::seconds(st.mtime.tv_sec) +
                                                                        std::chrono::nanoseconds(st.mtime.tv_nsec)));
    if (isFile)
        attributes.size = static_cast<std::uint64_t>(st.size);
    return attributes;
}

int starsForFileName(const std::filesystem::path& url)
{
    const std::string name = url.filename().string();
    return engine::stars(engine::fileExtensionCategory(discovery::pathExtension(name)));
}

ExtensionExpectation extensionExpectation(const std::filesystem::path& url)
{
    const engine::ExtensionCategory category = engine::fileExtensionCategory(url.extension().string());
    return {engine::displayName(category), engine::expectedRatioText(category)};
}

}  // namespace kelvane::operations
