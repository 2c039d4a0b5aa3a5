// SPDX-License-Identifier: MIT
#include "operations/windows/StatusInspections.h"

#include "operations/rows/FileStatusCache.h"
#include "operations/threads/WorkerJobs.h"

#include <QPointer>

#include <memory>
#include <utility>

namespace kelvane::operations {

StatusInspections::StatusInspections(FileStatusCache& cache, Inspector inspector, QObject* parent)
    : QObject(parent), cache_(cache), inspector_(std::move(inspector))
{
}

TaskHandle StatusInspections::inspect(std::vector<DisplayRow> rows, bool again)
{
    TaskHandle task;
    if (!again)
        std::erase_if(rows, [this](const DisplayRow& row) { return inFlight_.contains(row.id); });
    if (rows.empty()) {
        task.finish();
        return task;
    }
    for (const DisplayRow& row : rows)
        inFlight_.insert(row.id);
    auto input = std::make_shared<const std::vector<DisplayRow>>(std::move(rows));
    using Pairs = std::vector<std::pair<RowId, FileStatusEntry>>;
    runOnWorkers<Pairs>(
        {[input, inspector = inspector_] {
            Pairs pairs;
            for (const DisplayRow& row : *input)
                pairs.emplace_back(row.id, inspector(row.url));
            return pairs;
        }},
        [self = QPointer<StatusInspections>(this), generation = generation_, task](std::vector<Pairs> results) {
            if (self && generation == self->generation_) {
                for (const auto& [id, entry] : results.front())
                    self->inFlight_.erase(id);
                self->cache_.setEntries(std::move(results.front()));
            }
            task.finish();
        });
    return task;
}

TaskHandle StatusInspections::inspectUninspected(std::vector<DisplayRow> rows)
{
    const auto& entries = cache_.entries();
    std::erase_if(rows, [&](const DisplayRow& row) {
        if (inFlight_.contains(row.id))
            return true;
        const auto it = entries.find(row.id);
        return it != entries.end() && !it->second.as<FileStatusEntry::notInspected>();
    });
    return inspect(std::move(rows));
}

void StatusInspections::forgetInFlight()
{
    ++generation_;
    inFlight_.clear();
}

}  // namespace kelvane::operations
