// SPDX-License-Identifier: MIT
#pragma once

#include "platform/LogStore.h"

#include <QDateTime>

#include <string>
#include <vector>

namespace kelvane::app {

// The span in words: below an hour in minutes ("30 分"), whole days when it
// is a multiple of 24 hours ("7 日"), otherwise whole hours ("36 時間").
std::string rangeLabel(double hours);

// "Kelvane-log-<yyyyMMdd-HHmmss>.txt" in the current time zone.
std::string exportFileName(const QDateTime& date);

// This process's log entries of the last `hours` as a text a user can attach
// to a report (header, one line per entry, total). Throws std::system_error
// when the log cannot be opened or read; never returns a partial text.
std::string exportLogs(double hours);

// The text exportLogs builds from entries already read; entries of other
// subsystems are left out.
std::string composeLogExport(const std::vector<platform::LogEntry>& entries, double hours, const QDateTime& now);

}  // namespace kelvane::app
