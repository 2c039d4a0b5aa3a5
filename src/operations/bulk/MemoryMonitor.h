// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace kelvane::operations {

// The three memory probes of the progress sheet. Each may be called from any
// thread and gives 0 when the kernel cannot be asked.
struct MemoryMonitor {
    // Memory the process itself holds: anonymous resident pages plus what of
    // it was swapped out (/proc/self/status).
    static std::uint64_t currentFootprintBytes();
    // Memory the system can still hand out without swapping (/proc/meminfo).
    static std::uint64_t availableMemoryBytes();
    // The machine's installed memory (sysconf).
    static std::uint64_t physicalMemoryBytes();

    // The sum of the named "kB" fields of a /proc status-style text; none
    // found gives 0.
    static std::uint64_t sumKilobyteFields(std::string_view text, std::initializer_list<std::string_view> names,
                                           bool& found);
};

}  // namespace kelvane::operations
