// SPDX-License-Identifier: MIT
#include "engine/Preflight.h"

#include "engine/FileCompressionError.h"
#include "engine/LstatOrThrow.h"
#include "engine/StepObserver.h"
#include "platform/FileSystem.h"
#include "platform/PosixError.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace kelvane::engine {

using Error = FileCompressionError;

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

namespace {

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

}  // namespace

platform::UniqueFd openAndLock(const std::filesystem::path& url, const platform::FileStat& snapshot)
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
