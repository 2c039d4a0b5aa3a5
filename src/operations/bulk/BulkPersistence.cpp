// SPDX-License-Identifier: MIT
#include "operations/bulk/BulkPersistence.h"

#include "platform/Logger.h"
#include "store/CompressionLog.h"
#include "store/ModelContext.h"

namespace kelvane::operations {

using store::CompressionLog;
using store::IncompressibleFile;

void BulkPersistence::flushPendingRecords(OperationProgress& progress, store::ModelContext& context)
{
    for (const OperationProgress::PendingLog& log : progress.pendingLogs())
        context.insert(std::make_shared<CompressionLog>(store::Uuid::random(), log));
    progress.setPendingLogs({});

    if (!progress.clearedIncompressiblePaths().empty()) {
        try {
            const auto stale = context.fetch(store::FetchDescriptor<IncompressibleFile>(
                incompressiblePathPredicate(progress.clearedIncompressiblePaths())));
            for (const auto& record : stale)
                context.remove(record);
        } catch (const std::exception& error) {
            // Nothing is deleted; the record goes at a later successful run.
            platform::Logger::data().error("incompressible records fetch failed, none cleared: %{public}s", error.what());
        }
        progress.setClearedIncompressiblePaths({});
    }

    upsertIncompressibleEntries(progress.pendingIncompressibleEntries(), context);
    progress.setPendingIncompressibleEntries({});

    try {
        context.save();
    } catch (const std::exception& error) {
        platform::Logger::data().error("bulk persistence save failed: %{public}s", error.what());
    }
}

void BulkPersistence::upsertIncompressibleEntries(const std::vector<OperationProgress::PendingIncompressible>& entries,
                                                  store::ModelContext& context)
{
    if (entries.empty())
        return;
    const store::Date now = std::chrono::system_clock::now();
    auto existing = fetchIncompressibleByPath(context);
    std::set<std::string> handled;
    for (const auto& entry : entries) {
        if (!handled.insert(entry.path).second)
            continue;
        if (const auto it = existing.find(entry.path); it != existing.end()) {
            it->second->setRecordedAt(now);
            it->second->setSizeAtRecord(entry.size);
        } else {
            context.insert(std::make_shared<IncompressibleFile>(entry.path, now, entry.size));
        }
    }
}

std::unordered_map<std::string, std::shared_ptr<IncompressibleFile>> BulkPersistence::fetchIncompressibleByPath(
    store::ModelContext& context)
{
    std::unordered_map<std::string, std::shared_ptr<IncompressibleFile>> byPath;
    try {
        for (auto& record : context.fetch(store::FetchDescriptor<IncompressibleFile>()))
            byPath.emplace(record->targetPath(), record);
    } catch (const std::exception& error) {
        platform::Logger::data().error("incompressible records fetch failed, recorded as new: %{public}s", error.what());
        byPath.clear();
    }
    return byPath;
}

store::Predicate<IncompressibleFile> BulkPersistence::incompressiblePathPredicate(const std::set<std::string>& paths)
{
    return store::isIn(IncompressibleFile::Attributes::targetPath, paths);
}

std::set<std::string> BulkPersistence::loadIncompressiblePaths(store::ModelContext& context)
{
    std::set<std::string> paths;
    try {
        for (const auto& record : context.fetch(store::FetchDescriptor<IncompressibleFile>()))
            paths.insert(record->targetPath());
    } catch (const std::exception& error) {
        platform::Logger::data().error("incompressible records fetch failed, none skipped: %{public}s", error.what());
        paths.clear();
    }
    return paths;
}

}  // namespace kelvane::operations
