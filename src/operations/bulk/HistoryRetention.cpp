// SPDX-License-Identifier: MIT
#include "operations/bulk/HistoryRetention.h"

#include "platform/Logger.h"
#include "platform/qt/Settings.h"
#include "store/CompressionLog.h"
#include "store/ModelContext.h"

#include <QDateTime>

#include <algorithm>

namespace kelvane::operations {

std::int64_t HistoryRetention::retentionDays(const platform::Settings& settings)
{
    return std::clamp(settings.value(platform::settings_keys::logRetentionDays), minDays, maxDays);
}

std::int64_t HistoryRetention::retentionMaxCount(const platform::Settings& settings)
{
    return std::clamp(settings.value(platform::settings_keys::logRetentionMaxCount), minCount, maxCount);
}

void HistoryRetention::pruneLogs(store::ModelContext& context, const platform::Settings& settings)
{
    using store::CompressionLog;
    const std::int64_t days = retentionDays(settings);
    const auto keep = static_cast<std::size_t>(retentionMaxCount(settings));
    // Calendar days in the local time zone (a day across a clock change is
    // still one day).
    const QDateTime cutoffTime = QDateTime::currentDateTime().addDays(-days);
    const store::Date cutoff =
        cutoffTime.isValid()
            ? store::Date(std::chrono::milliseconds(cutoffTime.toMSecsSinceEpoch()))
            : store::Date::min();

    std::vector<std::shared_ptr<CompressionLog>> logs;
    try {
        logs = context.fetch(store::FetchDescriptor<CompressionLog>(
            std::vector<store::SortDescriptor<CompressionLog>>{{CompressionLog::Attributes::executedAt,
                                                                store::SortOrder::reverse}}));
    } catch (const std::exception& error) {
        platform::Logger::data().error("pruneLogs fetch failed: %{public}s", error.what());
        return;
    }

    std::size_t deleted = 0;
    std::size_t kept = 0;
    for (const auto& log : logs) {
        if (log->executedAt() < cutoff || kept >= keep) {
            context.remove(log);
            ++deleted;
        } else {
            ++kept;
        }
    }
    if (deleted == 0)
        return;
    try {
        context.save();
    } catch (const std::exception& error) {
        platform::Logger::data().error("pruneLogs save failed: %{public}s", error.what());
    }
}

}  // namespace kelvane::operations
