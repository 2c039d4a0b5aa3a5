// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvane::volumes {

// Hardware facts of the disk that holds a volume; every field may be unknown.
struct DiskHardwareInfo {
    std::optional<std::string> deviceModel;
    std::optional<std::string> deviceVendor;
    std::optional<std::string> deviceProtocol;
    std::optional<std::string> deviceRevision;
    std::optional<std::string> bsdName;
    std::optional<bool> isSolidState;
    std::optional<std::int64_t> mediaSize;
    std::optional<std::int64_t> mediaBlockSize;
    std::optional<bool> isWritable;

    bool operator==(const DiskHardwareInfo&) const = default;
};

}  // namespace kelvane::volumes
