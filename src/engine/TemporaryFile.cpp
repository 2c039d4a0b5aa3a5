#include "engine/TemporaryFile.h"

#include "engine/FileCompressionError.h"
#include "engine/StepObserver.h"
#include "platform/FileSystem.h"
#include "platform/Logger.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace kelvane::engine {

using Error = FileCompressionError;

std::filesystem::path TemporaryFile::pathFor(const std::filesystem::path& url)
{
    std::filesystem::path temporary = url;
    temporary += ".kvtmp";
    return temporary;
}

TemporaryFile TemporaryFile::create(const std::filesystem::path& temporaryUrl)
{
    constexpr int flags = O_WRONLY | O_CREAT | O_TRUNC | O_EXCL;
    platform::UniqueFd fd = platform::open(temporaryUrl, flags, 0600);
    for (int attempt = 1; !fd; ++attempt) {
        const int error = errno;
        if (error != EEXIST)
            throw Error(Error::ioError{temporaryUrl, "create kvtmp: errno=" + std::to_string(error)});
        if (attempt == 2)
            throw Error(Error::temporaryFileConflict{temporaryUrl});
        platform::FileStat st;
        if (platform::lstat(temporaryUrl, st) != 0 || !S_ISREG(st.mode))
            throw Error(Error::temporaryFileConflict{temporaryUrl});
        if (platform::getxattr(temporaryUrl, markerName, nullptr, 0, 0, platform::XATTR_NOFOLLOW) < 0)
            throw Error(Error::temporaryFileConflict{temporaryUrl});
        platform::Logger::compression().notice("removing stale kvtmp debris at %{private}s", temporaryUrl);
        if (platform::unlink(temporaryUrl) != 0)
            throw Error(Error::ioError{temporaryUrl, "unlink stale kvtmp: errno=" + std::to_string(errno)});
        notifyStep("unlink stale kvtmp");
        fd = platform::open(temporaryUrl, flags, 0600);
    }
    TemporaryFile file(temporaryUrl, std::move(fd));

    const std::uint8_t marker = 0x01;
    if (platform::fsetxattr(file.fd_.get(), markerName, &marker, 1, 0, 0) != 0) {
        platform::Logger::compression().notice("kvtmp marker setxattr failed for %{private}s: errno=%d",
                                               temporaryUrl, errno);
    }
    notifyStep("create kvtmp");
    return file;
}

TemporaryFile::TemporaryFile(std::filesystem::path path, platform::UniqueFd fd)
    : path_(std::move(path)), fd_(std::move(fd))
{
    // From the descriptor: the path may already name something else.
    platform::FileStat st;
    if (platform::fstat(fd_.get(), st) == 0) {
        dev_ = st.dev;
        ino_ = st.ino;
        identityKnown_ = true;
    }
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::move(other.fd_)),
      dev_(other.dev_),
      ino_(other.ino_),
      identityKnown_(other.identityKnown_),
      swapped_(other.swapped_)
{
    other.swapped_ = true;  // the moved-from object owns nothing
}

TemporaryFile::~TemporaryFile()
{
    if (!swapped_)
        remove();
}

void TemporaryFile::remove()
{
    fd_.reset();
    swapped_ = true;
    if (isStillAtItsPath())
        platform::unlink(path_);
}

bool TemporaryFile::isStillAtItsPath() const
{
    platform::FileStat st;
    return identityKnown_ && platform::lstat(path_, st) == 0 && st.dev == dev_ && st.ino == ino_;
}

}  // namespace kelvane::engine
