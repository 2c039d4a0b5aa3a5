// SPDX-License-Identifier: MIT
#include "operations/rows/DisplayRow.h"

#include "discovery/HomeFolder.h"

namespace kelvane::operations {

bool DisplayRow::operator==(const DisplayRow& other) const
{
    const bool sameChildren = children == other.children ||
                              (children && other.children && *children == *other.children);
    return id == other.id && displayName == other.displayName && kind == other.kind && url == other.url &&
           mtime == other.mtime && logicalSize == other.logicalSize && physicalSize == other.physicalSize &&
           ratio == other.ratio && isCompressed == other.isCompressed && registeredItemID == other.registeredItemID &&
           stars == other.stars && sameChildren && folderAggregate == other.folderAggregate;
}

std::string homeRelativePath(const std::string& path, const std::string& home)
{
    if (path == home)
        return "~";
    if (!home.empty() && path.size() > home.size() && path.compare(0, home.size(), home) == 0 &&
        path[home.size()] == '/')
        return "~" + path.substr(home.size());
    return path;
}

std::string DisplayRow::displayParentPath() const
{
    return homeRelativePath(url.parent_path().string(), discovery::homeFolder().string());
}

void DisplayRow::applyStatus(const FileStatusEntry& entry)
{
    if (const engine::FileCompressionInfo* info = entry.info()) {
        physicalSize = info->physicalSize;
        ratio = info->compressionRatio();
        isCompressed = info->status.kind() == engine::FileCompressionStatus::Kind::compressed;
    } else {
        physicalSize.reset();
        ratio.reset();
        isCompressed.reset();
    }
}

}  // namespace kelvane::operations
