// SPDX-License-Identifier: MIT
#include "operations/folders/ChildInspectionWorker.h"

#include "display/VisibleName.h"
#include "engine/Eligibility.h"
#include "engine/FileCompressionInspector.h"
#include "platform/KelvanefsMount.h"

namespace kelvane::operations {

namespace {

using MountState = platform::MountService::State;

// What the row says instead of the inspection (`info`, none when it failed)
// when no mount serves the file. Under a mount that does not answer nothing
// can be read, whatever the kernel still answers from what it kept. With no
// mount only a compressed file reads differently, and only where the
// engine's mount rule holds (a process that compresses where no mount is has
// nothing to say of it).
std::optional<FileStatusEntry> unservedEntry(const std::filesystem::path& url, const engine::FileCompressionInfo* info)
{
    platform::MountService service = platform::mountServiceOf(url);
    const bool compressed = info && info->status.kind() == engine::FileCompressionStatus::Kind::compressed;
    switch (service.state) {
    case MountState::served: return std::nullopt;
    case MountState::noMount:
        if (!compressed || !engine::Eligibility::mountRuleEnforced())
            return std::nullopt;
        break;
    case MountState::dead:
    case MountState::unreachable: break;
    }
    return FileStatusEntry::unserved{service.state, std::move(service.mountPoint),
                                     compressed ? std::optional(*info) : std::nullopt};
}

double secondsBetween(ChildInspectionWorker::Clock::time_point from, ChildInspectionWorker::Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

ChildInspectionWorker::ChildInspectionWorker(const std::set<std::string>& incompressiblePaths, Flush flush,
                                             std::function<Clock::time_point()> now)
    : incompressiblePaths_(incompressiblePaths), flush_(std::move(flush)), now_(std::move(now))
{
}

FileStatusEntry ChildInspectionWorker::inspect(const std::filesystem::path& url, bool knownIncompressible,
                                               long long& errors)
{
    using engine::FileCompressionInspectionError;
    try {
        engine::FileCompressionInfo info = engine::FileCompressionInspector{}.inspect(url);
        if (knownIncompressible && info.status.kind() == engine::FileCompressionStatus::Kind::uncompressed)
            info.status = engine::FileCompressionStatus::incompressible{};
        if (auto unserved = unservedEntry(url, &info))
            return *unserved;
        return FileStatusEntry::loaded{info};
    } catch (const FileCompressionInspectionError& error) {
        ++errors;
        if (auto unserved = unservedEntry(url, nullptr))
            return *unserved;
        if (error.as<FileCompressionInspectionError::fileNotFound>())
            return FileStatusEntry::notFound{};
        return FileStatusEntry::error{display::visibleName(error.errorDescription()).toStdString()};
    } catch (const std::exception& error) {
        ++errors;
        if (auto unserved = unservedEntry(url, nullptr))
            return *unserved;
        return FileStatusEntry::error{std::string("検査に失敗しました。再試行できます。\n詳細: ") +
                                     display::visibleName(std::string_view(error.what())).toStdString()};
    }
}

WorkerStats ChildInspectionWorker::run(std::span<const DisplayRow> slice, std::stop_token stop)
{
    WorkerStats stats;
    Batch buffer;
    buffer.reserve(flushThreshold);
    Clock::time_point lastFlush = now_();
    for (const DisplayRow& row : slice) {
        if (stop.stop_requested())
            break;
        const Clock::time_point started = now_();
        FileStatusEntry entry = inspect(row.url, incompressiblePaths_, stats.errors);
        stats.inspectSec += secondsBetween(started, now_());
        buffer.emplace_back(row.id, std::move(entry));
        if (buffer.size() >= flushThreshold && now_() - lastFlush >= flushInterval) {
            flush(buffer, stats);
            lastFlush = now_();
        }
    }
    if (!buffer.empty())
        flush(buffer, stats);
    return stats;
}

void ChildInspectionWorker::flush(Batch& buffer, WorkerStats& stats)
{
    const Clock::time_point started = now_();
    Batch batch;
    batch.reserve(flushThreshold);
    batch.swap(buffer);
    flush_(std::move(batch));
    stats.flushSec += secondsBetween(started, now_());
}

}  // namespace kelvane::operations
