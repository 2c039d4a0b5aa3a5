// SPDX-License-Identifier: MIT
#pragma once

namespace kelvane::fs {

// One line "kelvanefs: ..." on the daemon's standard error, whole even when
// several threads log at once.
void serveLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kelvane::fs
