// SPDX-License-Identifier: MIT
#include "platform/FreeSpaceProbe.h"

#include "platform/FileSystem.h"

#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelvane::platform {

namespace {

bool fullOrOverQuota(int error) { return error == ENOSPC || error == EDQUOT; }

// A file in `folder` that is nobody's to see: unnamed where the file system
// can make one, else named and unlinked straight away.
UniqueFd openNameless(const std::filesystem::path& folder)
{
    UniqueFd fd = openUnnamed(folder, 0600);
    if (fd || fullOrOverQuota(errno))
        return fd;
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::filesystem::path name =
            folder / (".kelvane-space-" + std::to_string(random()) + std::to_string(random()));
        fd = platform::open(name, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd) {
            platform::unlink(name);
            return fd;
        }
        if (errno != EEXIST)
            break;
    }
    return fd;
}

// For a file system without fallocate: real bytes (not zeros, which some
// file systems keep as holes), flushed, since a network file system or a
// delayed allocation may refuse them only when they are written back.
int writeAndFlush(int fd, std::uint64_t bytes)
{
    const std::vector<char> block(64 * 1024, 'k');
    std::uint64_t done = 0;
    while (done < bytes) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), bytes - done));
        const ssize_t written = ::write(fd, block.data(), length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<std::uint64_t>(written);
    }
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

}  // namespace

int probeFreeSpace(const std::filesystem::path& folder, std::uint64_t bytes)
{
    const UniqueFd fd = openNameless(folder);
    if (!fd)
        return errno;
    int result;
    do
        result = ::fallocate(fd.get(), 0, 0, static_cast<off_t>(bytes));
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return 0;
    if (errno != EOPNOTSUPP)
        return errno;
    return writeAndFlush(fd.get(), bytes);
}

}  // namespace kelvane::platform
