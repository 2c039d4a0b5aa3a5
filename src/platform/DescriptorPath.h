// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace kelvane::platform {

// The name of open descriptor `fd` in /proc. Opening it opens the file the
// descriptor holds, whatever its name is now; a path below it reaches below
// an open folder, whatever is mounted over the folder since.
inline std::string descriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace kelvane::platform
