// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>

namespace kelvane::platform {

// When this process started, from the kernel's count of clock ticks since
// boot (/proc/self/stat) and the boot time (/proc/stat); none when either
// cannot be read.
std::optional<std::chrono::system_clock::time_point> processStartTime();

// The absolute path of this process's executable (/proc/self/exe); empty
// when the kernel does not tell.
std::filesystem::path executablePath();

// Raises this process's soft limit of open descriptors to its hard one, as
// far as the system allows: the usual soft limit of 1,024 is soon reached by
// a process that holds many files open at once (a daemon serving a mount,
// a bulk run with replacements waiting for their commits).
void raiseDescriptorLimit();

// The pieces, for texts already read: field 22 of a stat line (the command
// name in field 2 may hold spaces and parentheses), and the "btime" line.
std::optional<unsigned long long> startTicksFromStat(std::string_view statLine);
std::optional<long long> bootTimeFromProcStat(std::string_view text);

}  // namespace kelvane::platform
