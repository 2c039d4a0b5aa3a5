// SPDX-License-Identifier: MIT
#include "operations/folders/ChildInspectionWorker.h"

#include "display/VisibleName.h"
#include "engine/Eligibility.h"
#include "engine/FileCompressionInspector.h"
#include "platform/KelvanefsMount.h"

namespace kelvane::operations {

namespace {

using MountState = platform::MountService::State;

// A file under a kelvanefs mount that does not answer cannot be inspected:
// that, rather than the failure it caused, is what the row has to say.
std::optional<FileStatusEntry> unreachableByMount(const std::filesystem::path& url)
{
    platform::MountService service = platform::mountServiceOf(url);
    if (service.state == MountState::dead || service.state == MountState::unreachable)
        return FileStatusEntry::unserved{service.state, std::move(service.mountPoint), std::nullopt};
    return std::nullopt;
}

// Only a compressed file reads differently without a mount; with the
// engine's mount rule off (a process that compresses where no mount is),
// having none is not worth a word.
std::optional<FileStatusEntry> unservedCompressed(const std::filesystem::path& url,
                                                  const engine::FileCompressionInfo& info)
{
    if (info.status.kind() != engine::FileCompressionStatus::Kind::compressed)
        return std::nullopt;
    platform::MountService service = platform::mountServiceOf(url);
    if (service.state == MountState::served ||
        (service.state == MountState::noMount && !engine::Eligibility::mountRuleEnforced()))
        return std::nullopt;
    return FileStatusEntry::unserved{service.state, std::move(service.mountPoint), info};
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
        if (auto unserved = unservedCompressed(url, info))
            return *unserved;
        // The kernel may answer from what it kept of a mount whose daemon
        // has since died: the file cannot be read all the same.
        if (auto unserved = unreachableByMount(url))
            return *unserved;
        return FileStatusEntry::loaded{info};
    } catch (const FileCompressionInspectionError& error) {
        ++errors;
        if (auto unserved = unreachableByMount(url))
            return *unserved;
        if (error.as<FileCompressionInspectionError::fileNotFound>())
            return FileStatusEntry::notFound{};
        return FileStatusEntry::error{display::visibleName(error.errorDescription()).toStdString()};
    } catch (const std::exception& error) {
        ++errors;
        if (auto unserved = unreachableByMount(url))
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
