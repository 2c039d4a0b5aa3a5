// SPDX-License-Identifier: MIT
#include "fs/OpenBelow.h"

#include "platform/FileFlags.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::fs {

bool opensForWriting(int flags) { return (flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC); }

namespace {

// What the file open on `fd` is: from the probe kept for its inode and
// change time while it holds (times, links and owner fresh, as the
// attributes are served), else with its records read.
int viewOf(int fd, const NodeTable::Probe* known, platform::FileStat& view)
{
    if (!known)
        return platform::fstat(fd, view);
    platform::FileStat raw;
    if (platform::fstat(fd, raw, false) != 0)
        return -1;
    if (!known->holdsFor(raw))
        return platform::fstat(fd, view);
    view = raw;
    view.flags = known->view.flags;
    if (known->decoded)
        view.size = known->view.size;
    return 0;
}

}  // namespace

platform::UniqueFd openBelow(int folderFd, const char* relative, int flags, mode_t mode, platform::FileStat& view,
                             const NodeTable::Probe* known)
{
    const bool writing = opensForWriting(flags);
    const bool truncating = (flags & O_TRUNC) != 0;
    flags = (flags | O_CLOEXEC | O_NOFOLLOW) & ~(O_NOCTTY | O_TRUNC);
    // Read-only with O_TRUNC truncates all the same, and takes the same
    // permissions as opening for reading and writing.
    if (truncating && (flags & O_ACCMODE) == O_RDONLY)
        flags = (flags & ~O_ACCMODE) | O_RDWR;
    platform::UniqueFd fd(::openat(folderFd, relative, flags, mode));
    if (!fd || viewOf(fd.get(), known, view) != 0)
        return {};
    if (!S_ISREG(view.mode))
        return fd;  // O_TRUNC means nothing for the others
    if ((view.flags & platform::UF_COMPRESSED) && writing) {
        errno = EIO;
        return {};
    }
    if (truncating && (::ftruncate(fd.get(), 0) != 0 || platform::fstat(fd.get(), view) != 0))
        return {};
    return fd;
}

int truncateBelow(int folderFd, const char* relative, off_t size)
{
    platform::FileStat view;
    // Not blocking: a FIFO without a reader fails at once instead of waiting for one.
    const platform::UniqueFd fd = openBelow(folderFd, relative, O_WRONLY | O_NONBLOCK, 0, view);
    if (!fd)
        return errno;
    if (!S_ISREG(view.mode))
        return EINVAL;
    return ::ftruncate(fd.get(), size) != 0 ? errno : 0;
}

}  // namespace kelvane::fs
