// SPDX-License-Identifier: MIT
#include "operations/bulk/Reinspection.h"

#include "operations/folders/ChildInspectionWorker.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/threads/WorkerJobs.h"

#include <QPointer>

#include <algorithm>

namespace kelvane::operations {

int Reinspection::workerCount(int concurrency) { return std::clamp(concurrency, 2, 8); }

Reinspection::Pairs Reinspection::inspectChunk(std::span<const DisplayRow> rows,
                                               const std::set<RowId>& incompressibleRowIDs)
{
    Pairs pairs;
    pairs.reserve(rows.size());
    long long errors = 0;
    for (const DisplayRow& row : rows)
        pairs.emplace_back(row.id, ChildInspectionWorker::inspect(row.url, incompressibleRowIDs.contains(row.id), errors));
    return pairs;
}

void Reinspection::inspectInChunks(std::vector<DisplayRow> rows, int concurrency, FileStatusCache& cache,
                                   std::set<RowId> incompressibleRowIDs, std::function<void()> done)
{
    if (rows.empty()) {
        done();
        return;
    }
    auto input = std::make_shared<const std::vector<DisplayRow>>(std::move(rows));
    auto ids = std::make_shared<const std::set<RowId>>(std::move(incompressibleRowIDs));
    std::vector<std::function<Pairs()>> jobs;
    for (const Slice& slice : sliceEvenly(input->size(), static_cast<std::size_t>(workerCount(concurrency)))) {
        jobs.push_back([input, ids, slice] {
            return inspectChunk(std::span<const DisplayRow>(input->data() + slice.begin, slice.end - slice.begin),
                                *ids);
        });
    }
    runOnWorkers<Pairs>(std::move(jobs), [cachePtr = QPointer<FileStatusCache>(&cache),
                                          done = std::move(done)](std::vector<Pairs> results) {
        Pairs all;
        for (Pairs& part : results)
            all.insert(all.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
        if (cachePtr)
            cachePtr->setEntries(std::move(all));
        done();
    });
}

}  // namespace kelvane::operations
