// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionType.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace kelvane::engine {

// The success record of one compression or decompression.
struct CompressionResult {
    std::filesystem::path url;
    std::int64_t bytesBefore = 0;  // logical size before
    std::int64_t bytesAfter = 0;   // compression: physical size after; decompression: logical size
    std::optional<CompressionType> algorithm;  // none for decompression

    bool operator==(const CompressionResult&) const = default;
};

}  // namespace kelvane::engine
