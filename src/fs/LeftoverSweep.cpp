// SPDX-License-Identifier: MIT
#include "fs/LeftoverSweep.h"

#include "fs/ServeLog.h"

#include "engine/FileCompressionError.h"
#include "engine/InPlaceDecompression.h"
#include "engine/TemporaryFile.h"
#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kelvane::fs {

namespace {

constexpr std::string_view kSuffix = ".kvtmp";

// Whether no operation works on the file the leftover at `relative` was
// made for: it is gone, or its lock is free (and then held by `lock`).
bool originalIsIdle(int folderFd, const std::string& relative, platform::UniqueFd& lock)
{
    const std::string original = relative.substr(0, relative.size() - kSuffix.size());
    lock.reset(::openat(folderFd, original.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!lock)
        return errno == ENOENT;
    return platform::flock(lock.get(), LOCK_EX | LOCK_NB) == 0;
}

// Removes the entry `relative` if it is a leftover of another file no one works on.
bool removeIfLeftover(int folderFd, const std::string& relative)
{
    const std::filesystem::path path = platform::pathBelow(folderFd, relative);
    if (!engine::TemporaryFile::isReplacementOfAnotherFile(path))
        return false;
    // A name cut to fit the suffix (a hash in place of its end) does not
    // lead back to its file, which may be at work: such a leftover stays.
    const std::string original = relative.substr(0, relative.size() - kSuffix.size());
    if (engine::TemporaryFile::pathFor(platform::pathBelow(folderFd, original)) != path)
        return false;
    // The copy of a decompression in place a kill cut short finishes it.
    try {
        if (engine::finishInPlaceDecompression(platform::pathBelow(folderFd, original))) {
            serveLog("finished the decompression in place of %s", original.c_str());
            return true;
        }
    } catch (const engine::FileCompressionError& error) {
        serveLog("%s stays: %s", relative.c_str(), error.description().c_str());
        return false;
    }
    platform::UniqueFd lock;
    if (!originalIsIdle(folderFd, relative, lock))
        return false;
    struct stat before {};
    if (::fstatat(folderFd, relative.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode))
        return false;
    if (::unlinkat(folderFd, relative.c_str(), 0) != 0)
        return false;
    serveLog("removed %s, left over by an operation that did not finish", relative.c_str());
    return true;
}

}  // namespace

std::size_t sweepLeftovers(int folderFd, std::stop_token stop)
{
    struct stat top {};
    if (::fstat(folderFd, &top) != 0)
        return 0;
    std::size_t removed = 0;
    std::vector<std::string> folders{""};
    while (!folders.empty() && !stop.stop_requested()) {
        const std::string base = std::move(folders.back());
        folders.pop_back();
        const int fd = ::openat(folderFd, base.empty() ? "." : base.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            continue;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const std::string relative = base.empty() ? std::string(name) : base + "/" + std::string(name);
            unsigned char type = entry->d_type;
            struct stat st {};
            if (type == DT_UNKNOWN || type == DT_DIR) {
                if (::fstatat(folderFd, relative.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            // Another file system mounted inside is not this folder's.
            if (type == DT_DIR && st.st_dev == top.st_dev)
                folders.push_back(relative);
            else if (type == DT_REG && name.size() > kSuffix.size() && name.ends_with(kSuffix))
                removed += removeIfLeftover(folderFd, relative) ? 1 : 0;
        }
        ::closedir(dir);
    }
    return removed;
}

}  // namespace kelvane::fs
