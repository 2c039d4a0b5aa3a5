// SPDX-License-Identifier: MIT
#pragma once

#include "engine/FileCompressionStatus.h"

#include <cstdint>
#include <optional>

namespace kelvane::engine {

// The result of one inspection.
struct FileCompressionInfo {
    FileCompressionStatus status;
    std::uint64_t logicalSize = 0;
    std::uint64_t physicalSize = 0;

    bool operator==(const FileCompressionInfo&) const = default;

    // Physical over logical size; none for an empty file.
    std::optional<double> compressionRatio() const
    {
        if (logicalSize == 0)
            return std::nullopt;
        return static_cast<double>(physicalSize) / static_cast<double>(logicalSize);
    }
};

}  // namespace kelvane::engine
