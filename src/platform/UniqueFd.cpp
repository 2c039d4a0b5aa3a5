// SPDX-License-Identifier: MIT
#include "platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kelvane::platform {

void UniqueFd::reset(int fd)
{
    if (fd_ >= 0 && fd_ != fd) {
        const int saved = errno;
        ::close(fd_);
        errno = saved;
    }
    fd_ = fd;
}

int UniqueFd::close()
{
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    // Linux releases the descriptor even when close reports an error; never retry.
    return ::close(std::exchange(fd_, -1));
}

UniqueFd UniqueFd::duplicate() const
{
    return UniqueFd(::fcntl(fd_, F_DUPFD_CLOEXEC, 0));
}

}  // namespace kelvane::platform
