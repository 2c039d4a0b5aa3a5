// SPDX-License-Identifier: MIT
#pragma once

#include "display/DateFormatter.h"

#include <QString>

#include <cstdint>
#include <filesystem>

namespace kelvane::display {

// Short size text: up to 999 bytes "<n> B"; above, decimal units (KB, MB, GB,
// TB, PB, EB) with 0 fraction digits for KB, 1 for MB and 2 from GB on,
// trailing zeros dropped ("1 KB", "1.5 MB", "1.23 GB"). The sign is kept.
QString formatBytes(std::int64_t byteCount);

// Every digit, grouped by three with ",", and " Bytes": "12,345 Bytes".
QString formatExactBytes(std::int64_t byteCount);

// An unsigned count (a file's size, memory) for the two above; beyond the
// signed range it is the largest signed count.
std::int64_t signedByteCount(std::uint64_t byteCount);

// "yyyy/MM/dd HH:mm", locale ja_JP, current time zone.
const DateFormatter& dateTimeFormatter();
// "yyyy/MM/dd", locale ja_JP, current time zone.
const DateFormatter& dateFormatter();

// The path as the user reads it: the home folder itself as "~", anything
// below it as "~/...", everything else in full (platform::homeAbbreviated
// over $HOME).
QString displayPath(const std::filesystem::path& path);

}  // namespace kelvane::display
