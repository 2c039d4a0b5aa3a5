// SPDX-License-Identifier: MIT
#include "app/LogExport.h"

#include "platform/Logger.h"
#include "display/DateFormatter.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kelvane::app {

namespace {

const display::DateFormatter& entryTimestampFormatter()
{
    static const display::DateFormatter formatter(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"), QLocale::c());
    return formatter;
}

const display::DateFormatter& fileNameTimestampFormatter()
{
    static const display::DateFormatter formatter(QStringLiteral("yyyyMMdd-HHmmss"), QLocale::c());
    return formatter;
}

const char* levelName(int level)
{
    switch (level) {
    case 1:
        return "DEBUG";
    case 2:
        return "INFO";
    case 3:
        return "NOTICE";
    case 4:
        return "ERROR";
    case 5:
        return "FAULT";
    default:
        return "?";
    }
}

}  // namespace

std::string rangeLabel(double hours)
{
    if (!std::isfinite(hours))
        hours = 0;  // keeps the integer conversions below defined
    if (hours < 1)
        return std::to_string(std::llround(hours * 60)) + " 分";
    if (std::fmod(hours, 24.0) != 0)
        return std::to_string(static_cast<long long>(std::trunc(hours))) + " 時間";
    return std::to_string(static_cast<long long>(hours / 24)) + " 日";
}

std::string exportFileName(const QDateTime& date)
{
    return "Kelvane-log-" + fileNameTimestampFormatter().string(date).toStdString() + ".txt";
}

std::string composeLogExport(const std::vector<platform::LogEntry>& entries, double hours, const QDateTime& now)
{
    const std::string& subsystem = platform::Logger::subsystem();
    std::string text;
    const auto line = [&text](const std::string& content) {
        text += content;
        text += '\n';
    };
    line("# Kelvane ログエクスポート");
    line("# 生成日時: " + entryTimestampFormatter().string(now).toStdString());
    line("# 範囲: 過去 " + rangeLabel(hours));
    line("# subsystem: " + subsystem);
    line("# 注意: パス等の機微情報は <private> としてマスクされる場合があります。");
    line("");
    std::size_t count = 0;
    for (const platform::LogEntry& entry : entries) {
        if (entry.subsystem != subsystem)
            continue;
        line("[" + entryTimestampFormatter().string(entry.date).toStdString() + "] [" + levelName(entry.level)
             + "] [" + entry.category + "] " + entry.message);
        ++count;
    }
    if (count > 0) {
        line("");
        line("# 合計 " + std::to_string(count) + " 件");
    } else {
        line("(該当ログなし)");
    }
    return text;
}

std::string exportLogs(double hours)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const platform::LogStore store = platform::LogStore::currentProcess();
    // Spans beyond a century (or not a number) mean everything the log holds.
    const double seconds = std::isfinite(hours) ? std::clamp(hours * 3600.0, 0.0, 100.0 * 366 * 86400) : 0.0;
    const auto since = std::chrono::system_clock::time_point(std::chrono::milliseconds(now.toMSecsSinceEpoch()))
                       - std::chrono::milliseconds(std::llround(seconds * 1000.0));
    return composeLogExport(store.entries(since), hours, now);
}

}  // namespace kelvane::app
