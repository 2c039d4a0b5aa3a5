// SPDX-License-Identifier: MIT
#include "platform/FolderWatches.h"

#include "platform/KelvanefsMount.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace kelvane::platform {

std::optional<FolderWatches> FolderWatches::open()
{
    UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd)
        return std::nullopt;
    return FolderWatches(std::move(fd));
}

int FolderWatches::add(const std::filesystem::path& folder)
{
    const auto path = pathForCalls(folder);
    if (!path)
        return -1;
    constexpr std::uint32_t entryChanges =
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    return ::inotify_add_watch(fd_.get(), path->c_str(), entryChanges);
}

void FolderWatches::remove(int watch) { ::inotify_rm_watch(fd_.get(), watch); }

bool FolderWatches::drain(const std::function<void(int watch, std::string_view name)>& onChange)
{
    bool complete = true;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd_.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
            return complete;
        if (got <= 0)
            return false;
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.mask & IN_Q_OVERFLOW)
                complete = false;
            else if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF))
                onChange(event.wd, "/");  // the folder itself: no entry bears that name
            else if (!(event.mask & IN_IGNORED))
                onChange(event.wd, event.len ? std::string_view(buffer + at + sizeof event) : std::string_view());
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

}  // namespace kelvane::platform
