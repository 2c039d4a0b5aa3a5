// SPDX-License-Identifier: MIT
#include "operations/rows/DerivedAggregates.h"
#include "operations/rows/FolderAggregation.h"

#include "discovery/PathExtension.h"
#include "discovery/StandardizedPath.h"
#include "engine/ExtensionCategory.h"
#include "operations/rows/DisplayRowPredicate.h"
#include "operations/rows/FileAttributes.h"

#include <unordered_set>

namespace kelvane::operations {

namespace {

using Kind = engine::FileCompressionStatus::Kind;

const FileStatusEntry& lookup(const DerivedAggregates::EntryMap& entries, const RowId& id)
{
    static const FileStatusEntry notInspected;
    const auto it = entries.find(id);
    return it == entries.end() ? notInspected : it->second;
}

// Counts each compressed file once, by its standardized path.
class ReductionTally {
public:
    void add(const DisplayRow& row, const FileStatusEntry& entry)
    {
        if (row.kind != DisplayRow::DisplayKind::file)
            return;
        const engine::FileCompressionInfo* info = entry.info();
        if (!info || info->status.kind() != Kind::compressed)
            return;
        if (!seen_.insert(discovery::normalizedPath(row.url)).second)
            return;
        if (info->logicalSize > info->physicalSize) {
            ++stats_.count;
            stats_.bytes += static_cast<std::int64_t>(info->logicalSize - info->physicalSize);
        }
    }
    const DerivedAggregates::ReductionStatistics& statistics() const { return stats_; }

private:
    std::unordered_set<std::string> seen_;
    DerivedAggregates::ReductionStatistics stats_;
};

bool passesChild(const DisplayRowPredicate& predicate, const DisplayRow& child, const FileStatusEntry& entry)
{
    if (predicate.kindFilter == KindFilter::folder)
        return false;
    if (predicate.kindFilter == KindFilter::file && child.kind != DisplayRow::DisplayKind::file)
        return false;
    if (!predicate.matchesSearch(child.displayName))
        return false;
    if (predicate.minStars >= 1 && child.stars < predicate.minStars)
        return false;
    return predicate.passesStatus(entry) && predicate.passesSize(entry);
}

// A registered item's row, with its attributes read now and its status.
DisplayRow topItemRow(const TopItemRef& item, const FileStatusEntry& entry)
{
    const bool isFolder = item.kind == ItemKind::folder;
    DisplayRow row;
    row.id = item.id;
    row.displayName = item.displayName;
    row.url = item.url;
    row.stars = item.stars;
    row.registeredItemID = item.itemID;
    row.kind = isFolder ? DisplayRow::DisplayKind::folder : DisplayRow::DisplayKind::file;
    const FileAttributes attributes = readFileAttributes(item.url, !isFolder);
    row.mtime = attributes.modificationDate;
    if (!isFolder)
        row.logicalSize = attributes.size;
    row.applyStatus(entry);
    return row;
}

}  // namespace

DerivedAggregates::Result DerivedAggregates::compute(const Input& input, std::stop_token stop)
{
    static const EntryMap noEntries;
    const EntryMap& entries = input.entries ? *input.entries : noEntries;

    DisplayRowPredicate predicate(input);
    predicate.cacheLookup = [&entries](const RowId& id) { return lookup(entries, id); };
    const bool active = predicate.isActive();

    // Each child's entry is looked up once, for its folder's aggregate and
    // for the walk below (halves the time over large folders).
    static const std::vector<DisplayRow> none;
    static const FileStatusEntry notInspected;
    std::unordered_map<store::Uuid, std::vector<const FileStatusEntry*>> childEntries;
    childEntries.reserve(input.children.size());
    Result result;
    result.aggregates.reserve(input.children.size());
    for (const auto& [itemID, rows] : input.children) {
        auto& found = childEntries[itemID];
        const std::vector<DisplayRow>& list = rows ? *rows : none;
        found.reserve(list.size());
        for (const DisplayRow& row : list) {
            const auto it = entries.find(row.id);
            found.push_back(it == entries.end() ? nullptr : &it->second);
        }
        result.aggregates.emplace(itemID, aggregateFolder(list, found));
    }
    const auto entryAt = [&](const store::Uuid& itemID, std::size_t index) -> const FileStatusEntry& {
        const FileStatusEntry* entry = childEntries[itemID][index];
        return entry ? *entry : notInspected;
    };

    ReductionTally tally;
    for (const TopItemRef& item : input.topItems) {
        if (stop.stop_requested())
            break;
        const bool isFolder = item.kind == ItemKind::folder;
        if (input.kindFilter == KindFilter::file && item.kind != ItemKind::file)
            continue;
        if (input.kindFilter == KindFilter::folder && !isFolder)
            continue;
        if (!predicate.matchesSearch(item.displayName))
            continue;
        const FileStatusEntry& entry = lookup(entries, item.id);
        if (!isFolder) {
            if (input.minStars >= 1) {
                const int stars = engine::stars(engine::fileExtensionCategory(discovery::pathExtension(item.displayName)));
                if (stars == 0 || stars < input.minStars)
                    continue;
            }
            if (!predicate.passesStatus(entry) || !predicate.passesSize(entry))
                continue;
        }

        DisplayRow row = topItemRow(item, entry);
        if (!isFolder) {
            tally.add(row, entry);
        } else if (const auto children = input.children.find(item.itemID); children != input.children.end()) {
            row.folderAggregate = result.aggregates[item.itemID];
            const DisplayRow::Children& loaded = children->second;
            if (!active) {
                if (loaded && !loaded->empty()) {
                    row.children = loaded;
                    for (std::size_t i = 0; i < loaded->size(); ++i)
                        tally.add((*loaded)[i], entryAt(item.itemID, i));
                }
            } else if (loaded) {
                auto kept = std::make_shared<std::vector<DisplayRow>>();
                for (std::size_t i = 0; i < loaded->size(); ++i) {
                    const DisplayRow& child = (*loaded)[i];
                    const FileStatusEntry& childEntry = entryAt(item.itemID, i);
                    if (!passesChild(predicate, child, childEntry))
                        continue;
                    DisplayRow refreshed = child;
                    refreshed.applyStatus(childEntry);
                    refreshed.folderAggregate.reset();
                    tally.add(refreshed, childEntry);
                    kept->push_back(std::move(refreshed));
                }
                if (!kept->empty())
                    row.children = std::move(kept);
            }
        }
        result.rows.push_back(std::move(row));
    }

    sortRows(result.rows, input.sortOrder);
    result.reduction = tally.statistics();
    return result;
}

}  // namespace kelvane::operations
