// SPDX-License-Identifier: MIT
#include "operations/rows/BulkSelection.h"

#include "engine/CandidateRule.h"

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

// The engine's one rule decides; a run takes what its kind asks for.
engine::CandidateVerdict takenBy(ActiveOperation::Kind kind)
{
    return kind == ActiveOperation::Kind::decompress ? engine::CandidateVerdict::decompress
                                                     : engine::CandidateVerdict::compress;
}

bool statusRule(ActiveOperation::Kind kind, const engine::FileCompressionInfo& info)
{
    return engine::CandidateRule::forStatus(info.status, info.logicalSize) == takenBy(kind);
}

bool rowRule(ActiveOperation::Kind kind, const DisplayRow& row)
{
    return engine::CandidateRule::forListing(row.isCompressed, row.logicalSize) == takenBy(kind);
}

}  // namespace

SelectionStatistics BulkSelection::statistics(const std::vector<DisplayRow>& selected, const Aggregates& aggregates,
                                              const Entries& entries)
{
    SelectionStatistics s;
    const auto bySize = [&](std::optional<std::uint64_t> size) {
        switch (engine::CandidateRule::forPlainSize(size)) {
        case engine::CandidateVerdict::compress: ++s.compressable; break;
        case engine::CandidateVerdict::oversized: ++s.oversized; break;
        case engine::CandidateVerdict::none:
        case engine::CandidateVerdict::decompress: break;
        }
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
