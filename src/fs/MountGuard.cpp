// SPDX-License-Identifier: MIT
#include "fs/MountGuard.h"

#include "platform/KelvanefsMount.h"

namespace kelvane::fs {

std::optional<std::string> refusalToMount(const std::filesystem::path& folder)
{
    const auto table = platform::MountTable::read("/proc");
    if (!table)
        return std::nullopt;
    const auto mount = platform::kelvanefsMountOf(*table, folder);
    if (!mount)
        return std::nullopt;
    if (mount->mountPoint == folder)
        return folder.string() + " is already mounted with kelvanefs (fusermount3 -u " + folder.string() +
               " unmounts it)";
    return folder.string() + " lies in " + mount->mountPoint.string() +
           ", which is already mounted with kelvanefs: mount that folder's files only once";
}

}  // namespace kelvane::fs
