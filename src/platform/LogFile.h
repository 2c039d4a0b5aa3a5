// SPDX-License-Identifier: MIT
#pragma once

// Internal to the platform layer: the log file's line format, shared by the
// writer (Logger) and the reader (LogStore).
//
// One entry per line, fields separated by tabs:
//   <unix time in ns> <pid> <process start> <level> <subsystem> <category> <message>
// The process start (clock ticks since boot) tells a reused pid apart.
// Tabs, line breaks and backslashes inside fields are escaped.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::platform::logfile {

inline constexpr const char* kFileName = "kelvane.log";
inline constexpr const char* kPreviousFileName = "kelvane.log.1";
// Past this size the file is set aside as the previous one and a new one begun.
inline constexpr std::uint64_t kRotateBytes = 8u << 20;

// Moves the log files an earlier build kept in `from` (the data folder) into
// `to`, once: a file is renamed, or copied and then removed when the folders
// are on different file systems; when `to` already has a file of that name the
// old lines are appended to it. A file that cannot be moved whole stays where
// it is, so no line is ever lost.
void moveLegacyLogs(const std::filesystem::path& from, const std::filesystem::path& to);

struct ProcessIdentity {
    std::int64_t pid = 0;
    std::uint64_t startTicks = 0;
    bool operator==(const ProcessIdentity&) const = default;
};

// This process, read afresh after a fork.
ProcessIdentity currentProcess();

struct Line {
    std::int64_t unixNanoseconds = 0;
    ProcessIdentity process;
    int level = 0;
    std::string subsystem;
    std::string category;
    std::string message;
};

std::string format(const Line& line);  // with the trailing line feed
std::optional<Line> parse(std::string_view text);  // one line, without the line feed

}  // namespace kelvane::platform::logfile
