#include "engine/Preflight.h"

#include "engine/FileCompressionError.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace kelvane::engine {

using Error = FileCompressionError;

platform::FileStat lstatSnapshot(const std::filesystem::path& url)
{
    platform::FileStat st;
    if (platform::lstat(url, st) != 0) {
        const int error = errno;
        if (error == ENOENT)
            throw Error(Error::fileNotFound{url});
        throw Error(Error::ioError{url, "lstat: errno=" + std::to_string(error)});
    }
    if (S_ISLNK(st.mode))
        throw Error(Error::symbolicLink{url});
    if (!S_ISREG(st.mode))
        throw Error(Error::notARegularFile{url});
    if (st.nlink >= 2)
        throw Error(Error::hardLinked{url, static_cast<std::int64_t>(st.nlink)});
    return st;
}

platform::UniqueFd openAndLock(const std::filesystem::path& url)
{
    platform::UniqueFd fd = platform::open(url, O_RDONLY);
    if (!fd) {
        const int error = errno;
        if (error == ENOENT)
            throw Error(Error::fileNotFound{url});
        throw Error(Error::ioError{url, "open: errno=" + std::to_string(error)});
    }
    if (platform::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        fd.reset();
        if (error == EWOULDBLOCK)
            throw Error(Error::fileInUse{url});
        throw Error(Error::ioError{url, "flock: errno=" + std::to_string(error)});
    }
    return fd;
}

}  // namespace kelvane::engine
