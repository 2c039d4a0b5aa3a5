// SPDX-License-Identifier: MIT
#pragma once

#include "volumes/StorageVolume.h"

#include <string>
#include <vector>

namespace kelvane::volumes {

// Whether Kelvane can register, compress and decompress files on one volume,
// and why. A pure function of the volume.
struct CompressionAvailabilityVerdict {
    enum class Tint { secondary, green, orange, red };

    std::string symbol;
    Tint tint = Tint::secondary;
    std::string title;
    std::string summary;
    std::vector<std::string> notes;

    explicit CompressionAvailabilityVerdict(const StorageVolume& volume);

    // The file-system types whose files Kelvane's compressed form lives on
    // (user extended attributes on an inode of its own), compared lower-cased.
    static bool isSupportedFileSystem(const std::string& fileSystemType);

    bool operator==(const CompressionAvailabilityVerdict&) const = default;

private:
    // Every verdict has all four; notes are added after it.
    void show(std::string symbolName, Tint tone, std::string heading, std::string text);
    void judgeKelvanefs(const StorageVolume& volume, platform::KelvanefsMountHealth health);
};

}  // namespace kelvane::volumes
