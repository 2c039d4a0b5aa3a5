// SPDX-License-Identifier: MIT
#include "platform/KelvanefsMountLock.h"

#include "platform/KelvanefsMount.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace kelvane::platform {

std::optional<KelvanefsMountLock> KelvanefsMountLock::acquire(const std::filesystem::path& mountPoint,
                                                              std::chrono::milliseconds limit, std::string& error)
{
    std::filesystem::path path = kelvanefsSocketPath(mountPoint);
    path.replace_extension(".lock");
    // The folder the daemon makes for its socket, made the same way.
    if (::mkdir(path.parent_path().c_str(), 0700) != 0 && errno != EEXIST) {
        error = path.parent_path().string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        error = path.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    // flock has no time-out of its own; the other holder mounts within
    // seconds, so asking again every few milliseconds costs nothing.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = path.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = path.string() + ": held by another process for too long";
            return std::nullopt;
        }
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 10);
    }
    return KelvanefsMountLock(std::move(fd));
}

}  // namespace kelvane::platform
