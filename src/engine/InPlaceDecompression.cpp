// SPDX-License-Identifier: MIT
#include "engine/InPlaceDecompression.h"

#include "engine/FileCompressionError.h"
#include "engine/ReplacementSteps.h"
#include "engine/StepObserver.h"
#include "engine/StreamingCompression.h"
#include "engine/TemporaryFile.h"
#include "engine/WorkBuffers.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/KelvanefsMount.h"
#include "platform/PosixError.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>

namespace kelvane::engine {
namespace {

using Error = FileCompressionError;
using Path = std::filesystem::path;

[[noreturn]] void failed(const Path& url, std::string_view step, int error = errno)
{
    throw Error(Error::ioError{url, platform::PosixError(step, error).description()});
}

// What the record holds: whether the rewrite is done (only the copy is
// left to remove), the copy's inode and name in the file's folder, and the
// file's times to give back.
struct Redo {
    bool done = false;
    ino_t copyInode = 0;
    timespec atime{}, mtime{};
    std::string copyName;

    std::string encode() const
    {
        return std::string(done ? "done " : "redo ") + std::to_string(copyInode) + " " + std::to_string(atime.tv_sec) +
               " " + std::to_string(atime.tv_nsec) + " " + std::to_string(mtime.tv_sec) + " " +
               std::to_string(mtime.tv_nsec) + " " + copyName;
    }
    static std::optional<Redo> decode(std::string_view text)
    {
        Redo redo;
        if (!text.starts_with("redo ") && !text.starts_with("done "))
            return std::nullopt;
        redo.done = text.starts_with("done ");
        text.remove_prefix(5);
        long long numbers[5] = {};
        const char* at = text.data();
        const char* end = text.data() + text.size();
        for (long long& number : numbers) {
            const auto [next, error] = std::from_chars(at, end, number);
            if (error != std::errc() || next == end || *next != ' ')
                return std::nullopt;
            at = next + 1;
        }
        redo.copyInode = static_cast<ino_t>(numbers[0]);
        redo.atime = {static_cast<time_t>(numbers[1]), static_cast<long>(numbers[2])};
        redo.mtime = {static_cast<time_t>(numbers[3]), static_cast<long>(numbers[4])};
        redo.copyName.assign(at, end);
        if (redo.copyName.empty() || redo.copyName.find('/') != std::string::npos)
            return std::nullopt;
        return redo;
    }
};

std::optional<Redo> readRecord(const Path& url)
{
    char value[512];
    const ssize_t got = platform::getxattr(url, redoRecordName, value, sizeof value, 0, platform::XATTR_NOFOLLOW);
    if (got < 0) {
        // No record, or no file (its own lstat says so), or no attributes here.
        if (errno == ENOATTR || errno == ENOENT || errno == ENOTDIR || errno == ENOTSUP || errno == EPERM)
            return std::nullopt;
        failed(url, "getxattr redo");
    }
    const auto redo = Redo::decode(std::string_view(value, static_cast<std::size_t>(got)));
    if (!redo)
        throw Error(Error::ioError{url, "redo record does not parse"});
    return redo;
}

// Copies every byte `source` reads into `fd`; the count.
std::int64_t copyInto(platform::FileHandle& source, int fd, const Path& url, std::string_view failedRead)
{
    const WorkBuffers::Lease buffers;
    return readInChunks(source, url, failedRead, [&](std::span<const std::uint8_t> chunk) {
        if (replacement::writeAll(fd, chunk) != 0)
            failed(url, "write in place");
        notifyStep("write chunk");
    }, buffers->source);
}

// The rewrite the record stands for: the file loses its compression records
// and its stored bytes, takes the copy's bytes and gets its times back.
// Done again from the start after a kill, it gives the same file.
void rewriteFromCopy(const Path& url, const Path& copy, const Redo& redo)
{
    auto source = platform::FileHandle::openForReading(copy);
    if (!source)
        failed(copy, "open redo copy");
    platform::UniqueFd target = platform::open(url, O_WRONLY | O_TRUNC | O_NOFOLLOW);
    if (!target)
        failed(url, "open in place");
    notifyStep("empty in place");
    copyInto(*source, target.get(), url, "read redo copy");
    if (platform::fsync(target.get()) != 0)
        failed(url, "fsync in place");
    if (platform::utimensat(url, redo.atime, redo.mtime, AT_SYMLINK_NOFOLLOW) != 0)
        failed(url, "utimensat in place");
    notifyStep("write in place");
}

// The record says the rewrite is done, then the copy goes, then the record:
// a kill between any two leaves a record that says what is left to do.
void finish(const Path& url, const Path& copy, Redo redo)
{
    if (!redo.done) {
        redo.done = true;
        const std::string record = redo.encode();
        if (platform::setxattr(url, redoRecordName, record.data(), record.size(), 0, platform::XATTR_NOFOLLOW) != 0)
            failed(url, "setxattr redo");
        notifyStep("mark redo done");
    }
    platform::FileStat st;
    if (platform::lstat(copy, st) == 0 && st.ino == redo.copyInode && platform::unlink(copy) != 0)
        failed(copy, "unlink redo copy");
    notifyStep("remove redo copy");
    if (platform::removexattr(url, redoRecordName, platform::XATTR_NOFOLLOW) != 0 && errno != ENOATTR)
        failed(url, "removexattr redo");
    notifyStep("remove redo record");
}

platform::UniqueFd lockFile(const Path& url, bool& busy)
{
    platform::UniqueFd fd = platform::open(url, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (!fd)
        failed(url, "open");
    busy = platform::flock(fd.get(), LOCK_EX | LOCK_NB) != 0;
    if (busy && errno != EWOULDBLOCK)
        failed(url, "flock");
    return fd;
}

}  // namespace

bool finishInPlaceDecompression(const Path& url)
{
    if (!readRecord(url))
        return false;
    bool busy = false;
    const platform::UniqueFd lock = lockFile(url, busy);
    if (busy)
        return false;
    const std::optional<Redo> redo = readRecord(url);  // another process may have finished it meanwhile
    if (!redo)
        return false;
    const Path copy = folderOf(url) / redo->copyName;
    if (!redo->done) {
        platform::FileStat st;
        if (platform::lstat(copy, st) != 0 || !S_ISREG(st.mode) || st.ino != redo->copyInode)
            throw Error(Error::ioError{url, "redo copy missing: " + copy.string()});
        rewriteFromCopy(url, copy, *redo);
    }
    finish(url, copy, *redo);
    return true;
}

void decompressInPlace(const Path& url)
{
    if (const auto reason = platform::unreachableMountReason(url))
        throw Error(Error::ioError{url, *reason});
    if (finishInPlaceDecompression(url))
        return;
    platform::FileStat snapshot;
    if (platform::lstat(url, snapshot) != 0)
        failed(url, "lstat");
    if (S_ISLNK(snapshot.mode))
        throw Error(Error::symbolicLink{url});
    if (!S_ISREG(snapshot.mode))
        throw Error(Error::notARegularFile{url});
    if ((snapshot.flags & platform::UF_COMPRESSED) == 0)
        throw Error(Error::notCompressed{url});
    bool busy = false;
    const platform::UniqueFd lock = lockFile(url, busy);
    platform::FileStat locked;
    if (busy)
        throw Error(Error::fileInUse{url});
    if (platform::fstat(lock.get(), locked) != 0 || locked.ino != snapshot.ino || locked.dev != snapshot.dev ||
        !(locked.flags & platform::UF_COMPRESSED))
        throw Error(Error::fileChangedDuringOperation{url});

    TemporaryFile copy = TemporaryFile::create(url);
    auto source = platform::FileHandle::reopenForReading(lock.get());
    if (!source)
        failed(url, "open compressed");
    if (copyInto(*source, copy.descriptor(), url, "read compressed") != snapshot.size)
        throw Error(Error::roundtripVerificationFailed{url});
    if (platform::fsync(copy.descriptor()) != 0)
        failed(copy.path(), "fsync kvtmp");
    notifyStep("write copy");

    platform::FileStat copyStat;
    if (platform::fstat(copy.descriptor(), copyStat) != 0)
        failed(copy.path(), "fstat kvtmp");
    const Redo redo{false, copyStat.ino, snapshot.atime, snapshot.mtime, copy.path().filename().string()};
    const std::string record = redo.encode();
    if (platform::fsetxattr(lock.get(), redoRecordName, record.data(), record.size(), 0, 0) != 0 ||
        platform::fsync(lock.get()) != 0)
        failed(url, "setxattr redo");
    notifyStep("set redo record");

    // The copy is the record's from now on: whatever fails, it stays for
    // the next one who finds the record.
    copy.keep();
    rewriteFromCopy(url, copy.path(), redo);
    finish(url, copy.path(), redo);
}

}  // namespace kelvane::engine
