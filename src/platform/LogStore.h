// SPDX-License-Identifier: MIT
#pragma once

#include "platform/LogLevel.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvane::platform {

struct LogEntry {
    std::chrono::system_clock::time_point date;
    int level = 0;  // LogLevel value as written
    std::string subsystem;
    std::string category;
    std::string message;  // composed, private arguments masked

    bool operator==(const LogEntry&) const = default;
};

// Reads back what Logger wrote, scoped to the current process (its pid and
// start time), in the order written.
class LogStore {
public:
    // Throws std::system_error when the log cannot be opened.
    static LogStore currentProcess();

    // Entries dated at or after `since`; throws std::system_error when the log
    // cannot be read. No log file yet means no entries.
    std::vector<LogEntry> entries(std::chrono::system_clock::time_point since) const;

    // Where Logger appends now (the log folder of the moment).
    static std::filesystem::path logFilePath();

private:
    explicit LogStore(std::filesystem::path file) : file_(std::move(file)) {}
    std::filesystem::path file_;
};

}  // namespace kelvane::platform
