// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CandidateRule.h"
#include "engine/FileCompressionInfo.h"
#include "engine/FileCompressionInspectionError.h"
#include "platform/FileStat.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace kelvane::engine {

// The compression state and sizes of one path, from metadata only: one lstat
// and, for a compressed file, at most three attribute calls (more only when
// the file changes while it is read). Never follows a symbolic link, never
// reads file data; safe on any number of threads.
struct FileCompressionInspector {
    static constexpr std::uint32_t datalessCompressionType = 0x80000001;
    static constexpr std::int64_t minimumCompressibleSize = CandidateRule::minimumBytes;

    // Throws FileCompressionInspectionError.
    FileCompressionInfo inspect(const std::filesystem::path& url) const;

    // The whole "com.apple.decmpfs" value, or none when the file has none.
    // Throws FileCompressionInspectionError::ioError.
    std::optional<std::vector<std::uint8_t>> readDecmpfsAttribute(const std::filesystem::path& url) const;

private:
    // From the lstat `st` just taken of `url`.
    FileCompressionInfo inspect(const std::filesystem::path& url, const platform::FileStat& st) const;
};

}  // namespace kelvane::engine
