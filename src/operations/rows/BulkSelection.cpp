// SPDX-License-Identifier: MIT
#include "operations/rows/BulkSelection.h"

#include <set>

namespace kelvane::operations {

using engine::FileCompressionStatus;

namespace {

const FileStatusEntry* lookUp(const BulkSelection::Entries& entries, const RowId& id)
{
    const auto it = entries.find(id);
    return it == entries.end() ? nullptr : &it->second;
}

const engine::FileCompressionInfo* loadedInfo(const BulkSelection::Entries& entries, const RowId& id)
{
    const FileStatusEntry* entry = lookUp(entries, id);
    return entry ? entry->info() : nullptr;
}

bool statusRule(ActiveOperation::Kind kind, const engine::FileCompressionInfo& info)
{
    if (kind == ActiveOperation::Kind::decompress)
        return info.status.kind() == FileCompressionStatus::Kind::compressed;
    return info.status.kind() == FileCompressionStatus::Kind::uncompressed &&
           info.logicalSize >= BulkSelection::minBytes && info.logicalSize <= BulkSelection::maxBytes;
}

bool rowRule(ActiveOperation::Kind kind, const DisplayRow& row)
{
    if (!row.isCompressed)
        return false;
    if (kind == ActiveOperation::Kind::decompress)
        return *row.isCompressed;
    const bool sizeFits = !row.logicalSize ||
                          (*row.logicalSize >= BulkSelection::minBytes && *row.logicalSize <= BulkSelection::maxBytes);
    return !*row.isCompressed && sizeFits;
}

}  // namespace

SelectionStatistics BulkSelection::statistics(const std::vector<DisplayRow>& selected, const Aggregates& aggregates,
                                              const Entries& entries)
{
    SelectionStatistics s;
    const auto bySize = [&](std::optional<std::uint64_t> size) {
        if (!size)
            ++s.compressable;
        else if (*size < minBytes)
            return;
        else if (*size > maxBytes)
            ++s.oversized;
        else
            ++s.compressable;
    };
    for (const DisplayRow& row : selected) {
        if (row.kind == DisplayRow::DisplayKind::folder) {
            if (!row.registeredItemID)
                continue;
            const auto it = aggregates.find(*row.registeredItemID);
            if (it == aggregates.end())
                continue;
            s.decompressable += it->second.compressedCount;
            s.compressable += it->second.compressableCount;
            s.oversized += it->second.oversizedCount;
            continue;
        }
        if (const engine::FileCompressionInfo* info = loadedInfo(entries, row.id)) {
            switch (info->status.kind()) {
            case FileCompressionStatus::Kind::compressed: ++s.decompressable; break;
            case FileCompressionStatus::Kind::uncompressed: bySize(info->logicalSize); break;
            case FileCompressionStatus::Kind::datalessCloud:
            case FileCompressionStatus::Kind::incompressible: break;
            }
            continue;
        }
        if (!row.isCompressed)
            continue;
        if (*row.isCompressed)
            ++s.decompressable;
        else
            bySize(row.logicalSize);
    }
    return s;
}

std::vector<DisplayRow> BulkSelection::candidates(ActiveOperation::Kind kind, const std::vector<DisplayRow>& selected,
                                                  const FolderChildren& folderChildren, const Entries& entries)
{
    std::vector<DisplayRow> result;
    std::set<std::filesystem::path> taken;
    const auto take = [&](const DisplayRow& row) {
        if (taken.insert(row.url.lexically_normal()).second)
            result.push_back(row);
    };
    for (const DisplayRow& row : selected) {
        if (row.kind == DisplayRow::DisplayKind::file) {
            const engine::FileCompressionInfo* info = loadedInfo(entries, row.id);
            if (info ? statusRule(kind, *info) : rowRule(kind, row))
                take(row);
            continue;
        }
        if (!row.registeredItemID)
            continue;
        const auto it = folderChildren.find(*row.registeredItemID);
        if (it == folderChildren.end() || !it->second)
            continue;
        for (const DisplayRow& child : *it->second) {
            if (child.kind != DisplayRow::DisplayKind::file)
                continue;
            const engine::FileCompressionInfo* info = loadedInfo(entries, child.id);
            if (info && statusRule(kind, *info))
                take(child);
        }
    }
    return result;
}

}  // namespace kelvane::operations
