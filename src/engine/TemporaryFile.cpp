// SPDX-License-Identifier: MIT
#include "engine/TemporaryFile.h"

#include "engine/FileCompressionError.h"
#include "engine/StepObserver.h"
#include "platform/FileSystem.h"
#include "platform/Logger.h"
#include "platform/PosixError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>

namespace kelvane::engine {
namespace {

using Error = FileCompressionError;
using Path = std::filesystem::path;

constexpr std::string_view suffix = ".kvtmp";
constexpr std::size_t nameLimit = 255;  // bytes of one name on the file systems we run on
constexpr std::size_t hashDigits = 16;

platform::Logger& log() { return platform::Logger::compression(); }

std::uint64_t nameHash(std::string_view name)
{
    std::uint64_t hash = 0xcbf29ce484222325u;  // 64-bit FNV-1a
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3u;
    }
    return hash;
}

std::string hexDigits(std::uint64_t value)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out(hashDigits, '0');
    for (std::size_t i = hashDigits; i-- > 0; value >>= 4)
        out[i] = digits[value & 15];
    return out;
}

// A leftover is ours when it carries the marker with the value an earlier
// version wrote (0x01, or empty) or the value naming this very file. A marker
// naming another file is that file's business: never deleted from here.
bool isOurLeftoverMarker(std::span<const std::uint8_t> value, const std::vector<std::uint8_t>& ours)
{
    return value.empty() || (value.size() == 1 && value[0] == 0x01) || std::ranges::equal(value, ours);
}

void setMarker(int fd, const std::vector<std::uint8_t>& marker, const Path& temporaryUrl)
{
    if (platform::fsetxattr(fd, TemporaryFile::markerName, marker.data(), marker.size(), 0, 0) != 0)
        log().notice("kvtmp marker setxattr failed for %{private}s: errno=%d", temporaryUrl, errno);
}

// The temporary name was taken (`error` from the call that tried to claim
// it): deletes our own leftover so that the caller can try once more, or
// throws. `attempt` counts the failed claims.
void clearTakenName(int error, int attempt, const Path& temporaryUrl, const std::vector<std::uint8_t>& marker)
{
    if (error != EEXIST)
        throw Error(Error::ioError{temporaryUrl, platform::PosixError("create kvtmp", error).description()});
    if (attempt == 2)
        throw Error(Error::temporaryFileConflict{temporaryUrl});
    platform::FileStat st;
    if (platform::lstat(temporaryUrl, st) != 0 || !S_ISREG(st.mode))
        throw Error(Error::temporaryFileConflict{temporaryUrl});
    std::uint8_t value[32];
    const ssize_t got =
        platform::getxattr(temporaryUrl, TemporaryFile::markerName, value, sizeof value, 0, platform::XATTR_NOFOLLOW);
    if (got < 0 || !isOurLeftoverMarker(std::span(value, static_cast<std::size_t>(got)), marker))
        throw Error(Error::temporaryFileConflict{temporaryUrl});
    log().notice("removing stale kvtmp debris at %{private}s", temporaryUrl);
    if (platform::unlink(temporaryUrl) != 0)
        throw Error(Error::ioError{temporaryUrl, platform::PosixError("unlink stale kvtmp", errno).description()});
    notifyStep("unlink stale kvtmp");
}

bool cannotMakeUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

}  // namespace

Path folderOf(const Path& url) { return url.has_parent_path() ? url.parent_path() : Path("."); }

Path TemporaryFile::pathFor(const Path& url)
{
    const std::string name = url.filename().native();
    if (name.size() + suffix.size() <= nameLimit) {
        Path temporary = url;
        temporary += std::string(suffix);
        return temporary;
    }
    // Departs from "<name>.kvtmp", which cannot exist for such a name: the
    // file would fail on every run.
    std::size_t keep = nameLimit - suffix.size() - 1 - hashDigits;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;  // never split a character
    return url.parent_path() / (name.substr(0, keep) + "~" + hexDigits(nameHash(name)) + std::string(suffix));
}

std::vector<std::uint8_t> TemporaryFile::markerFor(const Path& url)
{
    std::vector<std::uint8_t> marker{0x01};
    const std::uint64_t hash = nameHash(url.filename().native());
    for (int shift = 0; shift < 64; shift += 8)
        marker.push_back(static_cast<std::uint8_t>(hash >> shift));
    return marker;
}

bool TemporaryFile::isReplacementOfAnotherFile(const Path& url)
{
    if (!url.filename().native().ends_with(suffix))
        return false;
    std::uint8_t value[32];
    const ssize_t got = platform::getxattr(url, markerName, value, sizeof value, 0, platform::XATTR_NOFOLLOW);
    return got >= 0 && !std::ranges::equal(std::span(value, static_cast<std::size_t>(got)), markerFor(url));
}

TemporaryFile TemporaryFile::create(const Path& url)
{
    const Path temporaryUrl = pathFor(url);
    const std::vector<std::uint8_t> marker = markerFor(url);

    // Departs from creating the file at its name and marking it after: a kill
    // in between left an unmarked file that blocked the file for good. The
    // file is made unnamed, marked, and only then linked in.
    platform::UniqueFd fd = platform::openUnnamed(folderOf(url), 0600);
    if (fd) {
        setMarker(fd.get(), marker, temporaryUrl);
        for (int attempt = 1; platform::linkUnnamed(fd.get(), temporaryUrl) != 0; ++attempt)
            clearTakenName(errno, attempt, temporaryUrl, marker);
    } else if (const int error = errno; !cannotMakeUnnamedFiles(error)) {
        throw Error(Error::ioError{temporaryUrl, platform::PosixError("create kvtmp", error).description()});
    } else {
        constexpr int flags = O_WRONLY | O_CREAT | O_TRUNC | O_EXCL;
        fd = platform::open(temporaryUrl, flags, 0600);
        for (int attempt = 1; !fd; ++attempt) {
            clearTakenName(errno, attempt, temporaryUrl, marker);
            fd = platform::open(temporaryUrl, flags, 0600);
        }
        setMarker(fd.get(), marker, temporaryUrl);
    }
    TemporaryFile file(temporaryUrl, std::move(fd));
    notifyStep("create kvtmp");
    return file;
}

void TemporaryFile::removeStrayMarker(const Path& url)
{
    const std::vector<std::uint8_t> own = markerFor(url);
    std::uint8_t value[32];
    const ssize_t got = platform::getxattr(url, markerName, value, sizeof value, 0, platform::XATTR_NOFOLLOW);
    if (got < 0 || !std::ranges::equal(std::span(value, static_cast<std::size_t>(got)), own))
        return;
    if (platform::removexattr(url, markerName, platform::XATTR_NOFOLLOW) != 0)
        log().notice("kvtmp marker removexattr failed for %{private}s: errno=%d", url, errno);
    else
        log().notice("removed a stray kvtmp marker from %{private}s", url);
}

TemporaryFile::TemporaryFile(Path path, platform::UniqueFd fd) : path_(std::move(path)), fd_(std::move(fd))
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

platform::UniqueFd TemporaryFile::openWriter() const
{
    return fd_.duplicate();
}

void TemporaryFile::markSwapped()
{
    swapped_ = true;
    // Departs from removing the marker before the rename: a kill between the
    // two left an unmarked file at the temporary name. Taken off only now,
    // through the descriptor, from the file that is the original's by now.
    if (platform::fremovexattr(fd_.get(), markerName, 0) != 0) {
        const int error = errno;
        if (error != ENOATTR)
            log().notice("kvtmp marker removexattr failed for %{private}s: errno=%d", path_, error);
    }
    fd_.reset();
    notifyStep("remove marker");
}

void TemporaryFile::remove()
{
    swapped_ = true;
    if (isStillAtItsPath())
        platform::unlink(path_);
    fd_.reset();
}

bool TemporaryFile::isStillAtItsPath() const
{
    platform::FileStat st;
    return identityKnown_ && platform::lstat(path_, st) == 0 && st.dev == dev_ && st.ino == ino_;
}

}  // namespace kelvane::engine
