// SPDX-License-Identifier: MIT
#include "platform/DirectoryReader.h"

#include "platform/KelvanefsMount.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>

namespace kelvane::platform {
namespace {

DirectoryEntry::Type entryType(unsigned char type) {
    switch (type) {
    case DT_REG: return DirectoryEntry::Type::regular;
    case DT_DIR: return DirectoryEntry::Type::directory;
    case DT_LNK: return DirectoryEntry::Type::symbolicLink;
    case DT_UNKNOWN: return DirectoryEntry::Type::unknown;
    default: return DirectoryEntry::Type::other;
    }
}

// Layout of what getdents64 fills in; glibc offers no declaration of it.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// A folder whose path is too long for one call: the longest beginning that
// fits is opened as any path is, every further component below it by name,
// never through a link.
UniqueFd openDeepFolder(const std::string& path) {
    std::size_t cut = path.rfind('/', PATH_MAX - 1);
    if (cut == std::string::npos || cut == 0) {
        errno = ENAMETOOLONG;
        return UniqueFd();
    }
    UniqueFd fd(::open(path.substr(0, cut).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (fd && cut < path.size()) {
        const std::size_t start = cut + 1;
        cut = std::min(path.find('/', start), path.size());
        if (cut == start) continue;  // a doubled slash
        const std::string name = path.substr(start, cut - start);
        if (name.size() > NAME_MAX) {
            errno = ENAMETOOLONG;
            return UniqueFd();
        }
        fd.reset(::openat(fd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
    }
    return fd;
}

}  // namespace

int readDirectory(const std::filesystem::path& path, bool followLink, std::vector<DirectoryEntry>& out) {
    UniqueFd folder;
    return readDirectory(path, followLink, out, folder);
}

int readDirectory(const std::filesystem::path& pathGiven, bool followLink, std::vector<DirectoryEntry>& out,
                  UniqueFd& folder) {
    out.clear();
    folder.reset();
    const auto below = pathForCalls(pathGiven);
    if (!below) return errno;
    const std::filesystem::path& path = *below;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    UniqueFd fd(::open(path.c_str(), flags));
    if (!fd && errno == ENAMETOOLONG) fd = openDeepFolder(path.native());
    if (!fd) return errno;
    // Twice the C library's block, so large folders take fewer calls.
    alignas(LinuxDirent64) static thread_local std::byte buffer[64 * 1024];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            const int err = errno;
            out.clear();
            return err;
        }
        if (n == 0) {
            folder = std::move(fd);
            return 0;
        }
        for (long at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            out.push_back({std::string(name), entryType(entry->d_type)});
        }
    }
}

int readEntryTimes(const std::filesystem::path& pathGiven, EntryTimes& out) {
    const auto below = pathForCalls(pathGiven);
    if (!below) return errno;
    const std::filesystem::path& path = *below;
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MTIME, &sx) != 0) return errno;
    out.mode = sx.stx_mode;
    out.mtime = {static_cast<time_t>(sx.stx_mtime.tv_sec), static_cast<long>(sx.stx_mtime.tv_nsec)};
    return 0;
}

}  // namespace kelvane::platform
