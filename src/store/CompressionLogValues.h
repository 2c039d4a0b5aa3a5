// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvane::store {

// What one history record says, all but its identity: a bulk run queues
// these and its one save makes each a CompressionLog. Plain values, so that
// the run's progress can hold them without the store's machinery.
struct CompressionLogValues {
    std::chrono::system_clock::time_point executedAt{};  // a store Date
    std::string operation;
    std::string targetPath;
    std::int64_t sizeBefore = 0;
    std::int64_t sizeAfter = 0;
    std::string algorithm;
    std::int64_t durationMs = 0;
    bool success = false;
    std::optional<std::string> errorMessage;

    bool operator==(const CompressionLogValues&) const = default;
};

}  // namespace kelvane::store
