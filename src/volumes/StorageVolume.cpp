// SPDX-License-Identifier: MIT
#include "volumes/StorageVolume.h"

#include <cstdint>

namespace kelvane::volumes {

std::int64_t StorageVolume::usedCapacity() const
{
    // A volume may report more available than total space (or nonsense from a
    // broken server); widen before subtracting so that cannot overflow.
    std::int64_t used = 0;
    if (__builtin_sub_overflow(totalCapacity, availableCapacity, &used))
        return availableCapacity < 0 ? INT64_MAX : 0;
    return used < 0 ? 0 : used;
}

std::string_view rawValue(StorageVolume::MountFlag flag)
{
    using F = StorageVolume::MountFlag;
    switch (flag) {
    case F::readOnly: return "readOnly";
    case F::synchronous: return "synchronous";
    case F::noExec: return "noExec";
    case F::noSuid: return "noSuid";
    case F::noDev: return "noDev";
    case F::async: return "async";
    case F::dontBrowse: return "dontBrowse";
    case F::quota: return "quota";
    case F::local: return "local";
    case F::rootfs: return "rootfs";
    case F::automounted: return "automounted";
    case F::journaled: return "journaled";
    case F::noAtime: return "noAtime";
    }
    return {};
}

std::optional<StorageVolume::MountFlag> mountFlagFromRawValue(std::string_view raw)
{
    for (const auto flag : kAllMountFlags) {
        if (rawValue(flag) == raw)
            return flag;
    }
    return std::nullopt;
}

}  // namespace kelvane::volumes
