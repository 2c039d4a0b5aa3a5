// SPDX-License-Identifier: MIT
#include "engine/Eligibility.h"

#include "engine/FileCompressionError.h"
#include "engine/InPlaceDecompression.h"
#include "engine/LstatOrThrow.h"
#include "engine/StepObserver.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/KelvanefsMount.h"
#include "platform/DecmpfsFormat.h"
#include "platform/FileSystem.h"
#include "platform/PosixError.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace kelvane::engine {

using Error = FileCompressionError;

namespace {

std::atomic<bool> mountRuleOn{true};

// Set once at start-up, before any operation runs; read by every worker.
Eligibility::ServeFolder& serveFolder()
{
    static Eligibility::ServeFolder serve;
    return serve;
}

// Why no mount serves `url`, after the program had its chance to mount one.
std::optional<std::string> stillUnservedReason(const std::filesystem::path& url)
{
    std::optional<std::string> reason = Eligibility::unservedReason(url);
    if (reason && serveFolder()) {
        serveFolder()(url.parent_path());
        reason = Eligibility::unservedReason(url);
    }
    return reason;
}

// lstat without following links, then the checks every operation shares.
platform::FileStat lstatSnapshot(const std::filesystem::path& url)
{
    const platform::FileStat st = lstatOrThrow<Error>(url);
    if (S_ISLNK(st.mode))
        throw Error(Error::symbolicLink{url});
    if (!S_ISREG(st.mode))
        throw Error(Error::notARegularFile{url});
    if (st.nlink >= 2)
        throw Error(Error::hardLinked{url, static_cast<std::int64_t>(st.nlink)});
    notifyStep("lstat");
    return st;
}

// Whether another open file holds the file on `fd` open for writing. A file
// that a program has just closed through a kelvanefs mount stays open below
// until the daemon hears of the close, which the kernel sends without
// waiting for it: a writer seen at first is looked for again for a moment.
bool heldOpenForWriting(int fd)
{
    constexpr int kLooks = 20;
    constexpr auto kPause = std::chrono::milliseconds(5);
    for (int look = 1;; ++look) {
        if (!platform::openForWritingElsewhere(fd))
            return false;
        if (look == kLooks)
            return true;
        std::this_thread::sleep_for(kPause);
    }
}

// Under a kelvanefs mount the records are reached only through the mount's
// socket; without it nothing is touched.
void refuseUnreachableMount(const std::filesystem::path& url)
{
    if (const auto reason = platform::unreachableMountReason(url))
        throw Error(Error::ioError{url, *reason});
}

}  // namespace

void Eligibility::setServeFolder(ServeFolder serve) { serveFolder() = std::move(serve); }

void Eligibility::enforceMountRule(bool enforced) { mountRuleOn.store(enforced, std::memory_order_relaxed); }

bool Eligibility::mountRuleEnforced() { return mountRuleOn.load(std::memory_order_relaxed); }

std::optional<std::string> Eligibility::unservedReason(const std::filesystem::path& url)
{
    const platform::MountService service = platform::mountServiceOf(url);
    const std::string point = service.mountPoint.string();
    switch (service.state) {
        case platform::MountService::State::served: return std::nullopt;
        case platform::MountService::State::noMount: return "kelvanefs がマウントされていない場所です";
        case platform::MountService::State::unreachable:
            return "kelvanefs のマウント（" + point + "）のソケットに接続できません";
        case platform::MountService::State::dead: return "kelvanefs のマウント（" + point + "）が応答しません";
    }
    return std::nullopt;
}

platform::FileStat Eligibility::check(Conversion conversion, const std::filesystem::path& url)
{
    // Compressing where no mount serves the file would leave every other
    // program reading the stored records instead of the original.
    if (conversion == Conversion::compress && mountRuleEnforced()) {
        if (auto reason = stillUnservedReason(url))
            throw Error(Error::notServedByMount{url, std::move(*reason)});
    } else {
        refuseUnreachableMount(url);
    }
    // A decompression in place that a crash cut short is finished before
    // anything else looks at the file.
    finishInPlaceDecompression(url);
    const platform::FileStat snapshot = lstatSnapshot(url);
    TemporaryFile::removeStrayMarker(url);
    const bool compressed = snapshot.flags & platform::UF_COMPRESSED;
    if (conversion == Conversion::decompress) {
        if (!compressed)
            throw Error(Error::notCompressed{url});
        return snapshot;
    }
    if (compressed)
        throw Error(Error::alreadyCompressed{url});
    if (snapshot.size > static_cast<std::int64_t>(decmpfs::maxLogicalSize))
        throw Error(Error::fileTooLargeForFormat{url, snapshot.size});
    if (platform::getxattr(url, platform::kResourceForkXattrName, nullptr, 0, 0, platform::XATTR_NOFOLLOW) >= 1)
        throw Error(Error::hasResourceFork{url});
    return snapshot;
}

platform::UniqueFd Eligibility::lock(const std::filesystem::path& url, const platform::FileStat& snapshot)
{
    // Never through a link that replaced the file since its snapshot, and
    // never blocking on a FIFO put in its place (the identity check below
    // refuses it).
    platform::UniqueFd fd = platform::open(url, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (!fd) {
        const int error = errno;
        if (error == ENOENT)
            throw Error(Error::fileNotFound{url});
        if (error == ELOOP)
            throw Error(Error::fileChangedDuringOperation{url});
        throw Error(Error::ioError{url, platform::PosixError("open", error).description()});
    }
    if (platform::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        fd.reset();
        if (error == EWOULDBLOCK)
            throw Error(Error::fileInUse{url});
        throw Error(Error::ioError{url, platform::PosixError("flock", error).description()});
    }
    // The lock must hold the file of the snapshot, not one put in its place.
    platform::FileStat locked;
    if (platform::fstat(fd.get(), locked) != 0 || locked.dev != snapshot.dev || locked.ino != snapshot.ino)
        throw Error(Error::fileChangedDuringOperation{url});
    // A program that holds the file open for writing (a logger, a database)
    // would go on writing to the file the swap replaces, and every write it
    // makes after the swap would be lost: the file is in use, as one that
    // another operation has locked.
    if (heldOpenForWriting(fd.get()))
        throw Error(Error::fileInUse{url});
    notifyStep("lock");
    return fd;
}

}  // namespace kelvane::engine
