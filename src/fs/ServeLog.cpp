// SPDX-License-Identifier: MIT
#include "fs/ServeLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace kelvane::fs {

void serveLog(const char* format, ...)
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fputs("kelvanefs: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

}  // namespace kelvane::fs
