// SPDX-License-Identifier: MIT
#include "engine/ReplacementSteps.h"

#include "engine/FileCompressionError.h"
#include "engine/StepObserver.h"
#include "engine/TemporaryFile.h"
#include "platform/Acl.h"
#include "platform/FileFlags.h"
#include "platform/FileSystem.h"
#include "platform/Logger.h"
#include "platform/PosixError.h"

#include <cerrno>
#include <fcntl.h>

namespace kelvane::engine::replacement {
namespace {

using Error = FileCompressionError;

platform::Logger& log() { return platform::Logger::compression(); }

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = codePoint << 6 | (next & 0x3F);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string escaped(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F) {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(digits[b >> 4]);
            out.push_back(digits[b & 0x0F]);
        }
    }
    return out;
}

void logCopyFailure(std::string_view step, std::string_view name, const std::filesystem::path& path, int error)
{
    log().notice("xattr copy failed (%{public}s %{public}s) for %{private}s: errno=%d", step, name, path, error);
}

}  // namespace

bool isNeverCopied(std::string_view attributeName)
{
    return attributeName == platform::kDecmpfsXattrName || attributeName == platform::kResourceForkXattrName ||
           attributeName == TemporaryFile::markerName;
}

void copyOwnership(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl)
{
    if (platform::lchown(temporaryUrl, snapshot.uid, snapshot.gid) != 0)
        log().notice("chown failed for %{private}s: errno=%d", temporaryUrl, errno);
    notifyStep("copy ownership");
}

std::vector<std::string> listExtendedAttributeNames(const std::filesystem::path& url, int sourceFd)
{
    const auto list = [&](char* buffer, std::size_t length) {
        return sourceFd >= 0 ? platform::flistxattr(sourceFd, buffer, length, 0)
                             : platform::listxattr(url, buffer, length, 0);
    };
    const ssize_t size = list(nullptr, 0);
    if (size < 0) {
        const int error = errno;
        if (error == ENOTSUP)
            return {};
        throw Error(Error::ioError{url, platform::PosixError("listxattr size", error).description()});
    }
    if (size == 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(size));
    const ssize_t got = list(buffer.data(), buffer.size());
    if (got < 0)
        throw Error(Error::ioError{url, platform::PosixError("listxattr read", errno).description()});

    std::vector<std::string> names;
    std::string run;
    for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i) {
        if (buffer[i] != '\0') {
            run.push_back(buffer[i]);
            continue;
        }
        if (!run.empty()) {
            if (isValidUtf8(run))
                names.push_back(run);
            else
                log().notice("xattr not copied, name is not UTF-8 (%{public}s) for %{private}s", escaped(run), url);
        }
        run.clear();
    }
    return names;
}

void copyExtendedAttributes(const std::filesystem::path& url, int sourceFd, const std::filesystem::path& temporaryUrl)
{
    // Departs from logging a failed attribute and swapping all the same: the
    // replacement would silently lose a user's attribute (the attributes of
    // an inode share a few KiB on ext4, and the marker takes its share first).
    const auto readFailed = [&](std::string_view step, const std::string& name) {
        const int error = errno;
        if (error == ENOATTR) {  // removed since it was listed: nothing to keep
            logCopyFailure(step, name, url, error);
            return false;
        }
        throw Error(Error::ioError{url, platform::PosixError(std::string(step) + " " + name, error).description()});
    };
    const auto write = [&](const std::string& name, const void* value, std::size_t size) {
        if (platform::setxattr(temporaryUrl, name, value, size, 0, platform::XATTR_NOFOLLOW) != 0)
            throw Error(Error::ioError{temporaryUrl, platform::PosixError("setxattr " + name, errno).description()});
    };
    for (const std::string& name : listExtendedAttributeNames(url, sourceFd)) {
        if (isNeverCopied(name))
            continue;
        const ssize_t size = platform::fgetxattr(sourceFd, name, nullptr, 0, 0, 0);
        if (size < 0 && !readFailed("getxattr size", name))
            continue;
        if (size == 0) {
            write(name, "", 0);
            continue;
        }
        std::vector<std::uint8_t> value(static_cast<std::size_t>(size));
        const ssize_t got = platform::fgetxattr(sourceFd, name, value.data(), value.size(), 0, 0);
        if (got < 0 && !readFailed("getxattr value", name))
            continue;
        write(name, value.data(), static_cast<std::size_t>(got));
    }
    notifyStep("copy attributes");
}

void copyACL(int sourceFd, const std::filesystem::path& temporaryUrl)
{
    const platform::Acl acl = platform::aclGetFdExtended(sourceFd);
    if (acl && platform::aclSetLinkExtended(temporaryUrl, acl) != 0)
        log().notice("ACL copy failed for %{private}s: errno=%d", temporaryUrl, errno);
    notifyStep("copy ACL");
}

void setExtendedAttribute(const std::filesystem::path& url, std::string_view name,
                          std::span<const std::uint8_t> value)
{
    if (platform::setxattr(url, name, value.data(), value.size(), 0, platform::XATTR_NOFOLLOW) != 0)
        throw Error(Error::ioError{url, platform::PosixError("setxattr " + std::string(name), errno).description()});
    notifyStep("set attribute");
}

void restoreTimes(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl)
{
    if (platform::utimensat(temporaryUrl, snapshot.atime, snapshot.mtime, AT_SYMLINK_NOFOLLOW) != 0)
        log().notice("utimensat failed for %{private}s: errno=%d", temporaryUrl, errno);
    notifyStep("restore times");
}

void restoreCreationDate(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl)
{
    platform::lsetCreationDate(temporaryUrl, snapshot.birthtime);
    notifyStep("restore creation date");
}

void restoreMode(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl)
{
    if (platform::lchmod(temporaryUrl, snapshot.mode & 07777) != 0)
        log().notice("chmod failed for %{private}s: errno=%d", temporaryUrl, errno);
    notifyStep("restore mode");
}

void copyMetadata(const platform::FileStat& snapshot, const std::filesystem::path& url, int sourceFd,
                  const std::filesystem::path& temporaryUrl)
{
    copyOwnership(snapshot, temporaryUrl);
    copyExtendedAttributes(url, sourceFd, temporaryUrl);
    copyACL(sourceFd, temporaryUrl);
}

void restoreTimesAndMode(const platform::FileStat& snapshot, const std::filesystem::path& temporaryUrl)
{
    restoreTimes(snapshot, temporaryUrl);
    restoreCreationDate(snapshot, temporaryUrl);
    restoreMode(snapshot, temporaryUrl);
}

void setFileFlags(std::uint32_t flags, const std::filesystem::path& temporaryUrl)
{
    if (platform::lchflags(temporaryUrl, flags) != 0) {
        const int error = errno;
        if ((flags & platform::UF_COMPRESSED) == 0) {
            // Decompression: the replacement keeps the flags it was created with.
        } else if (error == EPERM) {
            if (platform::lchflags(temporaryUrl, flags & platform::UF_SETTABLE) != 0)
                throw Error(Error::ioError{temporaryUrl, platform::PosixError("chflags fallback", errno).description()});
        } else {
            throw Error(Error::ioError{temporaryUrl, platform::PosixError("chflags", error).description()});
        }
    }
    notifyStep("set flags");
}

void flushReplacement(TemporaryFile& temporary)
{
    // Flushed before the rename, so that a crash never leaves the file's name
    // on a replacement whose data or attributes are not on disk yet.
    if (platform::fsync(temporary.descriptor()) != 0)
        throw Error(Error::ioError{temporary.path(), platform::PosixError("fsync kvtmp", errno).description()});
    notifyStep("fsync kvtmp");
}

void renameOver(TemporaryFile& temporary, const std::filesystem::path& url, const platform::FileStat& snapshot)
{
    const std::filesystem::path& temporaryUrl = temporary.path();
    platform::FileStat now;
    if (platform::lstat(url, now) != 0 || now.dev != snapshot.dev || now.ino != snapshot.ino ||
        now.size != snapshot.size || now.mtime.tv_sec != snapshot.mtime.tv_sec ||
        now.mtime.tv_nsec != snapshot.mtime.tv_nsec)
        throw Error(Error::fileChangedDuringOperation{url});

    // Someone else's file or link at the temporary name is never renamed over
    // the file.
    if (!temporary.isStillAtItsPath())
        throw Error(Error::temporaryFileConflict{temporaryUrl});
    if (platform::rename(temporaryUrl, url) != 0)
        throw Error(Error::ioError{url, platform::PosixError("rename", errno).description()});
    notifyStep("rename");
}

void flushFolder(const std::filesystem::path& folder)
{
    platform::UniqueFd folderFd = platform::open(folder, O_RDONLY | O_DIRECTORY);
    if (!folderFd || platform::fsync(folderFd.get()) != 0)
        log().notice("fsync folder failed for %{private}s: errno=%d", folder, errno);
}

std::int64_t physicalSizeAfterSwap(const std::filesystem::path& url)
{
    platform::FileStat st;
    if (platform::lstat(url, st) != 0) {
        log().notice("lstat after swap failed for %{private}s: errno=%d", url, errno);
        return 0;
    }
    return st.blocks * 512;
}

int writeAll(int fd, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = platform::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return 0;
}

void writeFully(std::span<const std::uint8_t> bytes, int fd, const std::filesystem::path& url)
{
    if (writeAll(fd, bytes) != 0)
        throw Error(Error::ioError{url, platform::PosixError("write rsrc fork", errno).description()});
}

}  // namespace kelvane::engine::replacement
