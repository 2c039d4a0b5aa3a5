// SPDX-License-Identifier: MIT
#include "operations/rows/DisplayRowPredicate.h"

namespace kelvane::operations {

bool DisplayRowPredicate::matchesSearch(std::string_view displayName) const
{
    if (searchQuery.empty())
        return true;
    if (!queryReady_) {
        query_ = QString::fromStdString(searchQuery);
        queryReady_ = true;
    }
    return QString::fromUtf8(displayName.data(), static_cast<qsizetype>(displayName.size()))
        .contains(query_, Qt::CaseInsensitive);
}

bool DisplayRowPredicate::passesStatus(const FileStatusEntry& entry) const
{
    using Kind = engine::FileCompressionStatus::Kind;
    if (statusFilter == CompressionStatusFilter::all || entry.as<FileStatusEntry::notInspected>())
        return true;
    // A file no mount serves is not well: it stands with the errors.
    const bool unserved = entry.as<FileStatusEntry::unserved>() != nullptr;
    const engine::FileCompressionInfo* info = entry.info();
    switch (statusFilter) {
        case CompressionStatusFilter::compressed: return !unserved && info && info->status.kind() == Kind::compressed;
        case CompressionStatusFilter::uncompressed: return info && info->status.kind() == Kind::uncompressed;
        case CompressionStatusFilter::error:
            return unserved || entry.as<FileStatusEntry::error>() || entry.as<FileStatusEntry::notFound>();
        case CompressionStatusFilter::all: break;
    }
    return true;
}

bool DisplayRowPredicate::passesSize(const FileStatusEntry& entry) const
{
    if (sizeFilter == SizeRangeFilter::all)
        return true;
    const engine::FileCompressionInfo* info = entry.info();
    return !info || matches(sizeFilter, info->logicalSize);
}

}  // namespace kelvane::operations
