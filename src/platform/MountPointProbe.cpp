// SPDX-License-Identifier: MIT
#include "platform/MountPointProbe.h"

#include "platform/KelvanefsMount.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kelvane::platform {

namespace {

// Whether an attribute namespace is there, asked by reading a name nobody
// sets: "no such attribute" means the file system takes such attributes.
std::optional<bool> acceptsAttribute(const std::filesystem::path& path, const char* name)
{
    if (::getxattr(path.c_str(), name, nullptr, 0) >= 0)
        return true;
    if (errno == ENODATA)
        return true;
    if (errno == ENOTSUP || errno == EOPNOTSUPP)
        return false;
    return std::nullopt;
}

std::optional<long> pathLimit(const std::filesystem::path& path, int name)
{
    errno = 0;
    const long value = ::pathconf(path.c_str(), name);
    if (value < 0)
        return std::nullopt;
    return value;
}

MountPointFacts probeNow(const std::filesystem::path& given, ProbeDepth depth)
{
    // A kelvanefs mount describes the folder below it, when that is reachable.
    const std::filesystem::path mountPoint = pathForCalls(given).value_or(given);
    MountPointFacts facts;
    struct statvfs info {};
    if (::statvfs(mountPoint.c_str(), &info) == 0) {
        MountPointFacts::Space space;
        space.blockSize = static_cast<std::int64_t>(info.f_frsize != 0 ? info.f_frsize : info.f_bsize);
        space.totalBlocks = info.f_blocks;
        space.freeBlocks = info.f_bfree;
        space.availableBlocks = info.f_bavail;
        space.files = info.f_files;
        space.freeFiles = info.f_ffree;
        facts.space = space;
    }
    if (depth == ProbeDepth::spaceOnly)
        return facts;

    facts.userAttributes = acceptsAttribute(mountPoint, "user.kelvane.probe");
    facts.posixAcls = acceptsAttribute(mountPoint, "system.posix_acl_access");
    struct statx stx {};
    // Images written by build tools often leave the birth time at 0: unknown, not 1970.
    if (::statx(AT_FDCWD, mountPoint.c_str(), AT_NO_AUTOMOUNT, STATX_BTIME, &stx) == 0 && (stx.stx_mask & STATX_BTIME) &&
        stx.stx_btime.tv_sec > 0) {
        facts.rootBirthTime = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(stx.stx_btime.tv_sec) + std::chrono::nanoseconds(stx.stx_btime.tv_nsec)));
    }
    if (struct statfs info {}; ::statfs(mountPoint.c_str(), &info) == 0)
        facts.fileSystemMagic = static_cast<std::uint64_t>(info.f_type);
    facts.fileSizeBits = pathLimit(mountPoint, _PC_FILESIZEBITS);
    facts.linkMax = pathLimit(mountPoint, _PC_LINK_MAX);
    if (const auto symlinks = pathLimit(mountPoint, _PC_2_SYMLINKS))
        facts.symbolicLinks = *symlinks > 0;
    return facts;
}

}  // namespace

MountPointProbe systemMountPointProbe()
{
    return probeNow;
}

std::optional<MountPointFacts> probeWithin(const MountPointProbe& probe, const std::filesystem::path& mountPoint,
                                           ProbeDepth depth, std::chrono::milliseconds limit)
{
    struct Shared {
        std::mutex mutex;
        std::condition_variable answered;
        std::optional<MountPointFacts> facts;
    };
    auto shared = std::make_shared<Shared>();
    try {
        // The thread owns copies of everything it touches, so it may outlive
        // this call, the backend and the window that asked.
        std::thread([shared, probe, mountPoint, depth] {
            MountPointFacts facts = probe(mountPoint, depth);
            const std::lock_guard lock(shared->mutex);
            shared->facts = std::move(facts);
            shared->answered.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    std::unique_lock lock(shared->mutex);
    if (!shared->answered.wait_for(lock, limit, [&] { return shared->facts.has_value(); }))
        return std::nullopt;
    return std::move(shared->facts);
}

}  // namespace kelvane::platform
