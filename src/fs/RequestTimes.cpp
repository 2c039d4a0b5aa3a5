// SPDX-License-Identifier: MIT
#include "fs/RequestTimes.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kelvane::fs {

namespace {

constexpr const char* kNames[] = {
    "LOOKUP", "FORGET", "GETATTR", "SETATTR", "READLINK", "MKNOD", "MKDIR", "SYMLINK", "LINK", "UNLINK", "RMDIR",
    "RENAME", "OPEN", "CREATE", "READ", "WRITE", "FLUSH", "RELEASE", "FSYNC", "FALLOCATE", "FLOCK", "OPENDIR",
    "READDIR", "READDIRPLUS", "RELEASEDIR", "FSYNCDIR", "STATFS", "ACCESS", "GETXATTR", "LISTXATTR", "SETXATTR",
    "REMOVEXATTR"};
static_assert(std::size(kNames) == static_cast<std::size_t>(RequestTimes::Kind::count));

}  // namespace

std::string RequestTimes::table() const
{
    struct Row {
        const char* name;
        std::uint64_t requests, nanoseconds;
    };
    std::vector<Row> rows;
    std::uint64_t requests = 0, nanoseconds = 0;
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        const Row row{kNames[i], counters_[i].requests.load(), counters_[i].nanoseconds.load()};
        if (row.requests == 0)
            continue;
        rows.push_back(row);
        requests += row.requests;
        nanoseconds += row.nanoseconds;
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.nanoseconds > b.nanoseconds; });
    rows.push_back({"all", requests, nanoseconds});
    std::string out;
    for (const Row& row : rows) {
        char line[128];
        std::snprintf(line, sizeof line, "%-12s %10llu requests %12.3f ms %8.1f us each\n", row.name,
                      static_cast<unsigned long long>(row.requests), row.nanoseconds / 1e6,
                      row.nanoseconds / 1e3 / static_cast<double>(row.requests));
        out += line;
    }
    return out;
}

}  // namespace kelvane::fs
