// SPDX-License-Identifier: MIT
#include "support/SmallFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace kelvane::test {

SmallFileSystem::SmallFileSystem(std::uint64_t bytes, Kind kind) : path_(holder_.path() / "mount")
{
    std::filesystem::create_directory(path_);
    if (kind == Kind::tmpfs)
        mountTmpfs(bytes);
    else
        mountExt4(bytes);
}

SmallFileSystem::SmallFileSystem(std::uint64_t bytes, const std::filesystem::path& folder) : path_(folder)
{
    mountTmpfs(bytes);
}

void SmallFileSystem::mountExt4(std::uint64_t bytes)
{
    const std::filesystem::path image = holder_.path() / "image";
    writeRawFile(image, {});
    std::filesystem::resize_file(image, bytes);
    // No journal and no reserved blocks: every block the file system has is
    // free for files, so full means full.
    const std::string make = "mkfs.ext4 -q -F -O ^extent,^64bit,^flex_bg,^has_journal -m 0 '" + image.string() +
                             "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        reason_ = "mkfs.ext4 is missing or failed";
        return;
    }
    const std::string mount = "mount -o loop '" + image.string() + "' '" + path_.string() + "' >/dev/null 2>&1";
    if (std::system(mount.c_str()) != 0) {
        reason_ = "cannot mount a loop device here; this needs root and a free loop device";
        return;
    }
    mounted_ = true;
}

void SmallFileSystem::mountTmpfs(std::uint64_t bytes)
{
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("kelvane-test", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
        mounted_ = true;
        return;
    }
    reason_ = std::string("cannot mount a tmpfs here (") + std::strerror(errno) + "); this needs root";
}

SmallFileSystem::~SmallFileSystem()
{
    if (mounted_)
        ::umount2(path_.c_str(), MNT_DETACH);
}

std::uint64_t SmallFileSystem::freeBytes() const
{
    struct statvfs info {};
    if (::statvfs(path_.c_str(), &info) != 0)
        throw std::runtime_error("statvfs failed: " + std::string(std::strerror(errno)));
    return std::uint64_t{info.f_bavail} * info.f_frsize;
}

std::uint64_t SmallFileSystem::fill(std::uint64_t leaveFree)
{
    const int fd = ::open(fillerPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create the filler: " + std::string(std::strerror(errno)));
    const std::vector<char> block(64 * 1024, 'f');
    std::size_t chunk = block.size();
    int error = 0;
    // Whole blocks, then ever shorter writes, until not one byte more fits.
    while (chunk > 0) {
        const ssize_t written = ::write(fd, block.data(), chunk);
        if (written >= 0)
            continue;
        error = errno;
        if (error != ENOSPC)
            break;
        chunk /= 2;
    }
    if (error != ENOSPC) {
        ::close(fd);
        throw std::runtime_error("filling stopped without ENOSPC: " + std::string(std::strerror(error)));
    }
    if (leaveFree > 0) {
        struct stat info {};
        ::fstat(fd, &info);
        const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        const std::uint64_t giveBack = (leaveFree + page - 1) / page * page;
        const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
        if (::ftruncate(fd, static_cast<off_t>(size > giveBack ? size - giveBack : 0)) != 0) {
            error = errno;
            ::close(fd);
            throw std::runtime_error("cannot shorten the filler: " + std::string(std::strerror(error)));
        }
    }
    ::close(fd);
    return freeBytes();
}

}  // namespace kelvane::test
