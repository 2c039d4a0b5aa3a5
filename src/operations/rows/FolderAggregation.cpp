// SPDX-License-Identifier: MIT
#include "operations/rows/FolderAggregation.h"

#include "engine/CandidateRule.h"

namespace kelvane::operations {

FolderAggregate aggregateFolder(const std::vector<DisplayRow>& rows,
                                const FileStatusEntries& entries)
{
    std::vector<const FileStatusEntry*> rowEntries;
    rowEntries.reserve(rows.size());
    for (const DisplayRow& row : rows) {
        const auto it = entries.find(row.id);
        rowEntries.push_back(it == entries.end() ? nullptr : &it->second);
    }
    return aggregateFolder(rows, rowEntries);
}

FolderAggregate aggregateFolder(const std::vector<DisplayRow>& rows,
                                const std::vector<const FileStatusEntry*>& rowEntries)
{
    using Kind = engine::FileCompressionStatus::Kind;
    FolderAggregate a;
    const auto count = [&](engine::CandidateVerdict verdict) {
        if (verdict == engine::CandidateVerdict::compress)
            ++a.compressableCount;
        else if (verdict == engine::CandidateVerdict::oversized)
            ++a.oversizedCount;
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const DisplayRow& row = rows[i];
        if (row.kind != DisplayRow::DisplayKind::file)
            continue;
        ++a.totalCount;
        ++a.starsHistogram[row.stars];
        const FileStatusEntry* entry = rowEntries[i];
        if (const auto* unserved = entry ? entry->as<FileStatusEntry::unserved>() : nullptr) {
            ++a.unservedCount;
            if (unserved->info) {
                a.totalLogical += unserved->info->logicalSize;
                a.totalPhysical += unserved->info->physicalSize;
            } else if (row.logicalSize) {
                a.totalLogical += *row.logicalSize;
            }
        } else if (const engine::FileCompressionInfo* info = entry ? entry->info() : nullptr) {
            a.totalLogical += info->logicalSize;
            a.totalPhysical += info->physicalSize;
            switch (info->status.kind()) {
                case Kind::uncompressed:
                    ++a.uncompressedCount;
                    count(engine::CandidateRule::forStatus(info->status, info->logicalSize));
                    break;
                case Kind::datalessCloud: ++a.datalessCount; break;
                case Kind::incompressible: ++a.incompressibleCount; break;
                case Kind::compressed: ++a.compressedCount; break;
            }
        } else if (entry && (entry->as<FileStatusEntry::error>() || entry->as<FileStatusEntry::notFound>())) {
            ++a.errorCount;
        } else if (row.logicalSize) {
            a.totalLogical += *row.logicalSize;
            if (row.isCompressed && !*row.isCompressed)
                count(engine::CandidateRule::forListing(row.isCompressed, row.logicalSize));
        }
    }
    return a;
}

}  // namespace kelvane::operations
